// The address box: sample captions, quality options, select-all.
#include "ui/mainwindow/addvideopanel.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::ui::mainwindow;

namespace {
const QString videktaSample = "Sample : http://www.videkta.ge/?video_id=147629";

// Which option buttons show, as "L", "H", "A" in that order.
QString shownOptions(const MainWindowView &w)
{
    QString s;
    if (!test::ctl<QRadioButton>(w, "lowQualityOption")->isHidden())
        s += 'L';
    if (!test::ctl<QRadioButton>(w, "highQualityOption")->isHidden())
        s += 'H';
    if (!test::ctl<QRadioButton>(w, "aviQualityOption")->isHidden())
        s += 'A';
    return s;
}
} // namespace

class TestAddressBox : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void typedAddresses_data();
    void typedAddresses();
    void clickAndFocusSelectAll();

private:
    QTemporaryDir *m_dir = nullptr;
    test::RecordingMessages *m_messages = nullptr;
    MainWindowView *m_window = nullptr;
};

void TestAddressBox::init()
{
    m_dir = new QTemporaryDir;
    m_messages = new test::RecordingMessages;
    m_window = createMainWindow(m_dir->path(), m_messages).release();
    m_window->startUp();
}

void TestAddressBox::cleanup()
{
    delete m_window;
    delete m_messages;
    delete m_dir;
}

void TestAddressBox::typedAddresses_data()
{
    // Addresses typed one after another; the state after the last.
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("highCaption");
    QTest::newRow("at start") << QStringList() << videktaSample << "" << "High Quality (wmv)";
    QTest::newRow("tvali") << QStringList{"http://tvali.ge/index.php?action=watch&v=1"}
                           << "Sample : http://tvali.ge/index.php?action=watch&v=6181" << "" << "High Quality (wmv)";
    QTest::newRow("metacafe") << QStringList{"http://www.metacafe.com/watch/9/"}
                              << "Sample : http://www.metacafe.com/watch/1285389/subaru_tv_spot/" << "" << "High Quality (wmv)";
    QTest::newRow("allvideos") << QStringList{"http://allvideos.ge/x"}
                               << "Sample : http://allvideos.ge/video.php?uid=LNNQPVMSP" << "" << "High Quality (wmv)";
    QTest::newRow("youtube") << QStringList{"http://youtube.com/watch?v=q"}
                             << "Sample : http://youtube.com/watch?v=bR96aWfpWN0" << "" << "High Quality (wmv)";
    QTest::newRow("dailymotion") << QStringList{"http://www.dailymotion.com/video/q"}
                                 << "Sample : http://www.dailymotion.com/video/xrdvl_subaru-wrx_sport" << "" << "High Quality (wmv)";
    QTest::newRow("break shows low and high")
        << QStringList{"http://www.break.com/index/a.html"}
        << "Sample : http://www.break.com/index/big-wheel-drifting.html" << "LH" << "High Quality (wmv)";
    QTest::newRow("google shows all three, high is mp4")
        << QStringList{"http://video.google.com/videoplay?docid=1"}
        << "Sample : http://video.google.com/videoplay?docid=-3640530513745741819&q=subaru&ei=1iGKS" << "LHA"
        << "High Quality (mp4)";
    QTest::newRow("break after google keeps avi and mp4")
        << QStringList{"http://video.google.com/videoplay?docid=1", "http://www.break.com/index/a.html"}
        << "Sample : http://www.break.com/index/big-wheel-drifting.html" << "LHA" << "High Quality (mp4)";
    QTest::newRow("tvali after break keeps the options")
        << QStringList{"http://www.break.com/index/a.html", "http://tvali.ge/"}
        << "Sample : http://tvali.ge/index.php?action=watch&v=6181" << "LH" << "High Quality (wmv)";
    QTest::newRow("unknown keeps the last label")
        << QStringList{"http://tvali.ge/", "http://example.com/"}
        << "Sample : http://tvali.ge/index.php?action=watch&v=6181" << "" << "High Quality (wmv)";
    QTest::newRow("secure address not recognised") << QStringList{"https://tvali.ge/x"} << videktaSample << ""
                                                   << "High Quality (wmv)";
    QTest::newRow("capitals not recognised") << QStringList{"http://TVALI.GE/x"} << videktaSample << ""
                                             << "High Quality (wmv)";
    QTest::newRow("short and empty") << QStringList{"http://tvali", ""} << videktaSample << ""
                                     << "High Quality (wmv)";
}

void TestAddressBox::typedAddresses()
{
    QFETCH(QStringList, addresses);
    QFETCH(QString, label);
    QFETCH(QString, options);
    QFETCH(QString, highCaption);
    for (const QString &a : addresses) {
        test::ctl<QLineEdit>(*m_window, "addressBox")->clear();
        QTest::keyClicks(test::ctl<QLineEdit>(*m_window, "addressBox"), a);
        QCOMPARE(test::panel<AddVideoPanel>(*m_window).typedAddress, a); // follows every change
    }
    QCOMPARE(test::ctl<QLabel>(*m_window, "sampleLabel")->text(), label);
    QCOMPARE(shownOptions(*m_window), options);
    QCOMPARE(test::ctl<QRadioButton>(*m_window, "highQualityOption")->text(), highCaption);
    QVERIFY(test::ctl<QRadioButton>(*m_window, "lowQualityOption")->isChecked()); // the selection is left alone
    QVERIFY(m_messages->calls.isEmpty());
}

void TestAddressBox::clickAndFocusSelectAll()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    const QString address = "http://tvali.ge/index.php?action=watch&v=6181";
    test::ctl<QLineEdit>(*m_window, "addressBox")->setText(address);
    test::ctl<QLineEdit>(*m_window, "addressBox")->deselect();
    QTest::mouseClick(test::ctl<QLineEdit>(*m_window, "addressBox"), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(test::ctl<QLineEdit>(*m_window, "addressBox")->selectedText(), address);

    test::ctl<QLineEdit>(*m_window, "addressBox")->deselect();
    test::ctl<QLineEdit>(*m_window, "searchBox")->setFocus();
    QTRY_VERIFY(test::ctl<QLineEdit>(*m_window, "searchBox")->hasFocus());
    test::ctl<QLineEdit>(*m_window, "addressBox")->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(test::ctl<QLineEdit>(*m_window, "addressBox")->selectedText(), address);
}

QTEST_MAIN(TestAddressBox)
#include "tst_addressbox.moc"
