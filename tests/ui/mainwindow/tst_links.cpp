// Logos, the FLV player button and the site search open the right address
// in the browser; anything but a web address is refused.
#include "desktop/openurl.h"
#include "ui/mainwindow/clickableimage.h"
#include "support/mainwindowtest.h"
#include "resolve/getsource.h"
#include "support/browsercapture.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::ui::mainwindow;

class TestLinks : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void logosAndPlayer_data();
    void logosAndPlayer();
    void search_data();
    void search();
    void onlyWebAddressesOpen_data();
    void onlyWebAddressesOpen();

private:
    test::BrowserCapture m_browser;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<MainWindowView> m_w;
};

void TestLinks::init()
{
    m_browser.opened.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<test::RecordingMessages>();
    m_w = createMainWindow(m_dir->path(), m_messages.get());
    m_w->startUp();
}

void TestLinks::cleanup()
{
    m_w.reset();
    m_messages.reset();
    m_dir.reset();
}

void TestLinks::logosAndPlayer_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("opened"); // empty: nothing
    QTest::newRow("YouTube logo") << "youTubeLogo" << "http://youtube.com";
    QTest::newRow("Google Video logo") << "googleVideoLogo" << "http://video.google.com";
    QTest::newRow("Break logo") << "breakLogo" << "http://www.break.com";
    QTest::newRow("Videkta logo") << "videktaLogo" << "http://www.videkta.ge";
    QTest::newRow("Tvali logo") << "tvaliLogo" << "http://tvali.ge";
    QTest::newRow("AllVideos logo") << "allVideosLogo" << "http://allvideos.ge";
    QTest::newRow("banner does nothing") << "bannerPicture" << "";
    QTest::newRow("FLV player") << "playerButton"
                                << "http://www.simtel.net/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe";
}

void TestLinks::logosAndPlayer()
{
    QFETCH(QString, control);
    QFETCH(QString, opened);
    QWidget *w = m_w->findChild<QWidget *>(control);
    QVERIFY(w);
    if (auto *button = qobject_cast<QPushButton *>(w))
        button->click();
    else
        QTest::mouseClick(w, Qt::LeftButton);
    QCOMPARE(m_browser.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QVERIFY(m_messages->calls.isEmpty());
    if (opened.isEmpty())
        return;
    // The simulated web has the page, for trying the program against it.
    test::LocalWeb web;
    testweb::installSimulatedWeb(web.server());
    QVERIFY(!test::fetchPageText(opened, true).isEmpty());
    QCOMPARE(web.server().requests().size(), 1);
}

void TestLinks::search_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("message");
    QTest::newRow("tvali, two words") << 1 << "subaru impreza"
                                      << "http://tvali.ge/index.php?action=search&s=subaru+impreza" << "";
    QTest::newRow("videkta, empty words") << 0 << "" << "http://www.videkta.ge/index.php?srch_str=" << "";
    QTest::newRow("break uses its search host") << 5 << "wheel"
                                                << "http://search.break.com/Content/Search/Search.aspx?SEARCH1=Search&s=wheel" << "";
    QTest::newRow("google, & and # pass unescaped") << 7 << "a&b #c"
                                                    << "http://video.google.com/videosearch?q=a&b+#c" << "";
    QTest::newRow("metacafe tags") << 4 << "wrx" << "http://www.metacafe.com/tags/wrx" << "";
    QTest::newRow("dailymotion") << 6 << "wrx" << "http://www.dailymotion.com/relevance/search/wrx" << "";
    QTest::newRow("youtube") << 3 << "wrx" << "http://youtube.com/results?search_query=wrx" << "";
    QTest::newRow("allvideos says no") << 2 << "subaru" << "" << "Sorry you cann't search in allvideos.ge";
    QTest::newRow("no site chosen") << -1 << "subaru" << "" << "";
}

void TestLinks::search()
{
    QFETCH(int, position);
    QFETCH(QString, words);
    QFETCH(QString, opened);
    QFETCH(QString, message);
    test::ctl<QComboBox>(*m_w, "siteBox")->setCurrentIndex(position);
    test::ctl<QLineEdit>(*m_w, "searchBox")->setText(words);
    test::ctl<QPushButton>(*m_w, "searchButton")->click();
    QCOMPARE(m_browser.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(m_messages->calls.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(m_messages->calls[0].text, message);
        QCOMPARE(m_messages->calls[0].title, QString()); // the program's own title
        QCOMPARE(m_messages->calls[0].flags, int(MsgOkOnly));
    }
}

void TestLinks::onlyWebAddressesOpen_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("opens");
    QTest::newRow("http") << "http://tvali.ge/files/6181.flv" << true;
    QTest::newRow("https") << "https://tvali.ge/" << true;
    QTest::newRow("scheme in capitals") << "HTTP://tvali.ge/" << true;
    QTest::newRow("local file") << "file:///etc/passwd" << false;
    QTest::newRow("program name") << "calc.exe" << false;
    QTest::newRow("script") << "javascript:alert(1)" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("no host") << "http:///x" << false;
    QTest::newRow("line break") << "http://tvali.ge/a\r\nb" << false;
}

void TestLinks::onlyWebAddressesOpen()
{
    QFETCH(QString, target);
    QFETCH(bool, opens);
    test::RecordingMessages messages;
    QCOMPARE(OpenUrl(target, messages), opens);
    QCOMPARE(m_browser.opened.size(), opens ? 1 : 0);
    QCOMPARE(messages.calls.size(), opens ? 0 : 1);
    if (!opens)
        QCOMPARE(messages.calls[0].flags, int(MsgCritical));
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
