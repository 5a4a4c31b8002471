#include "support/mainwindowtest.h"
#include "ui/messagebox/buttonimages.h"
#include "support/browsercapture.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::ui::mainwindow;

namespace {
QByteArray rows(const QStringList &statuses)
{
    QByteArray out;
    for (int i = 0; i < statuses.size(); ++i)
        out += QString("v%1.flv\r\nhttp://h/v%1.flv\r\n%2\r\n").arg(i).arg(statuses[i]).toLatin1();
    return out;
}
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void confirmQuestion_data();
    void confirmQuestion();
    void controlsAfterLoad();
    void captions_data();
    void captions();
    void buttonImagesLiveWithTheWindow();
    void keyboardReachesTheAddressBox();
    void listAndDownloadsApart();
};

void TestStartup::confirmQuestion_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question"); // empty: no question
    QTest::addColumn<bool>("timerOn");
    QTest::newRow("one waiting of three, yes")
        << rows({"COMPLETED", "FAILED", "PENDING"}) << int(AnswerYes)
        << "You have 1 File waiting to be downloaded.  Continue downloading ?" << true;
    QTest::newRow("one waiting of three, no")
        << rows({"COMPLETED", "FAILED", "PENDING"}) << int(AnswerNo)
        << "You have 1 File waiting to be downloaded.  Continue downloading ?" << false;
    QTest::newRow("all finished asks nothing") << rows({"COMPLETED", "FAILED"}) << 0 << "" << false;
    QTest::newRow("empty file asks nothing") << QByteArray() << 0 << "" << false;
    QTest::newRow("downloading and unknown words wait")
        << rows({"DOWNLOADING", "Completed", "COMPLETED"}) << int(AnswerYes)
        << "You have 2 File waiting to be downloaded.  Continue downloading ?" << true;
}

void TestStartup::confirmQuestion()
{
    QFETCH(QByteArray, content);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(bool, timerOn);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", content);
    test::RecordingMessages messages;
    messages.answers << answer;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &w = *window;
    w.startUp();
    if (question.isEmpty()) {
        QVERIFY(messages.calls.isEmpty());
    } else {
        QCOMPARE(messages.calls.size(), 1);
        QCOMPARE(messages.calls[0].text, question);
        QCOMPARE(messages.calls[0].title, QString("Confirm"));
        QCOMPARE(messages.calls[0].flags, 36);
    }
    QCOMPARE(test::ctl<QTimer>(w, "startupTimer")->isActive(), timerOn);
    QCOMPARE(test::ctl<QTimer>(w, "startupTimer")->interval(), 100);
    // The bar counts completed rows of all rows; an empty list shows empty.
    QCOMPARE(test::ctl<QProgressBar>(w, "filesBar")->value(), test::storeOf(w).list().completedCount());
    QVERIFY(test::ctl<QProgressBar>(w, "filesBar")->maximum() > test::ctl<QProgressBar>(w, "filesBar")->minimum());
    if (test::storeOf(w).list().count() > 0)
        QCOMPARE(test::ctl<QProgressBar>(w, "filesBar")->maximum(), test::storeOf(w).list().count());
    QVERIFY(test::ctl<QTimer>(w, "startupTimer")->isSingleShot());
}

void TestStartup::controlsAfterLoad()
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &w = *window;
    w.startUp();
    QCOMPARE(test::ctl<QComboBox>(w, "siteBox")->count(), 8);
    QCOMPARE(test::ctl<QComboBox>(w, "siteBox")->currentIndex(), -1);
    QCOMPARE(test::ctl<QComboBox>(w, "siteBox")->placeholderText(), QString("Choose Site"));
    QVERIFY(test::ctl<QComboBox>(w, "siteBox")->itemText(0).contains("Videkta"));
    QVERIFY(test::ctl<QComboBox>(w, "siteBox")->itemText(7).contains("Google"));
    QVERIFY(test::ctl<QRadioButton>(w, "lowQualityOption")->isChecked());
    QVERIFY(!test::ctl<QTimer>(w, "startupTimer")->isActive());
    QCOMPARE(test::ctl<QLabel>(w, "filesLabel")->text(), QString("0 of 0 files downloaded."));
        QCOMPARE(QFile(dir.filePath("List")).size(), 0);
}

void TestStartup::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<QPair<const char *, const char *>> all = {
        {"addVideoGroup", "Add Video to Download"},
        {"addressCaption", "Copy the URL of the target video and paste here"},
        {"addVideoButton", "&Add Video"},
        {"lowQualityOption", "Low Quality (flv)"},
        {"highQualityOption", "High Quality (wmv)"},
        {"aviQualityOption", "High Quality (avi)"},
        {"startButton", "Start Download"},
        {"cancelButton", "Cancel"},
        {"removeButton", "Remove"},
        {"cleanButton", "Clean"},
        {"searchGroup", "Video Search"},
        {"searchCaption", "Enter the keywords for a search in your chosen site"},
        {"searchButton", "&Search"},
        {"searchSample", "Sample : Subaru Impreza"},
        {"playerGroup", "FLV Player"},
        {"playerCaption", "Videos downloaded are in FLV format thus a FLV Player is needed to watch videos."},
        {"playerButton", "&Flv Player"},
        {"helpButton", "H e l p !"},
        {"aboutButton", "About"},
    };
    for (const auto &c : all)
        QTest::newRow(c.first) << QString(c.first) << QString(c.second);
}

void TestStartup::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &w = *window;
    QWidget *c = w.findChild<QWidget *>(name);
    QVERIFY2(c, qPrintable(name));
    QString shown;
    if (auto *b = qobject_cast<QAbstractButton *>(c)) shown = b->text();
    else if (auto *l = qobject_cast<QLabel *>(c)) shown = l->text();
    else if (auto *g = qobject_cast<QGroupBox *>(c)) shown = g->title();
    QCOMPARE(shown, text);
    QCOMPARE(w.windowTitle(), QString("Vidrona v.1.0"));
}

void TestStartup::buttonImagesLiveWithTheWindow()
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    MainWindowView *w = createMainWindow(dir.path(), &messages).release();
    w->startUp();
    QCOMPARE(ui::messagebox::loadedButtonImageCount(), 12);
    const QImage ok = ui::messagebox::buttonImage(ui::messagebox::ButtonKind::Ok, ui::messagebox::ButtonLook::Hover);
    QCOMPARE(ok.size(), QSize(58, 17));
    w->show();
    w->close();
    QCOMPARE(ui::messagebox::loadedButtonImageCount(), 0);
    delete w;
}

void TestStartup::keyboardReachesTheAddressBox()
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &w = *window;
    w.startUp();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(test::ctl<QLineEdit>(w, "addressBox")));
    QTest::keyClicks(QApplication::focusWidget(), "http://x");
    QCOMPARE(test::ctl<QLineEdit>(w, "addressBox")->text(), QString("http://x"));
    // Alt+A reaches "&Add Video": the mnemonic is a real shortcut.
    QSignalSpy pressed(test::ctl<QPushButton>(w, "addVideoButton"), &QPushButton::clicked);
    QTest::keyClick(&w, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(pressed.count(), 1); // a mnemonic animates the click first
    QVERIFY(!test::ctl<QTreeView>(w, "downloadList")->accessibleName().isEmpty());
    QVERIFY(!test::ctl<QProgressBar>(w, "filesBar")->accessibleName().isEmpty());
}

// An installed copy's window keeps the list in its folder and tells where
// the downloads go.
void TestStartup::listAndDownloadsApart()
{
    QTemporaryDir listFolder, downloads;
    test::RecordingMessages messages;
    test::BrowserCapture fileManager;
    const auto window = createMainWindow(Folders{listFolder.path(), downloads.path()}, &messages);
    window->startUp();
    QVERIFY(test::storeOf(*window).Download(QStringLiteral("http://h/clip.flv")));
    QVERIFY(QFile::exists(listFolder.filePath("List")));
    QVERIFY(QDir(downloads.path()).isEmpty());
    auto *list = test::ctl<QTreeView>(*window, "downloadList");
    QVERIFY(list->toolTip().contains(QDir::toNativeSeparators(downloads.path())));
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction *open = test::ctl<QAction>(*list, "openDownloadFolderAction");
    QVERIFY(list->actions().contains(open));
    open->trigger();
    QCOMPARE(fileManager.opened, QStringList{QUrl::fromLocalFile(downloads.path()).toString()});
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
