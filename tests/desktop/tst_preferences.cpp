// The Preferences: stored and read back where each kind of copy keeps
// them, taken only within range, and opened from the main window.
#include "desktop/desktopbus.h"
#include "desktop/preferences.h"
#include "download/liststore.h"
#include "download/queuerunner.h"
#include "net/speedlimit.h"
#include "ui/mainwindow/queuepanel.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/preferences/frmpreferences.h"
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace vidrona;

class TestPreferences : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void storedAndReadBack_data();
    void storedAndReadBack();
    void window_data();
    void window();
    void openedFromTheMainWindow();

private:
    QTemporaryDir m_dir;
};

void TestPreferences::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the user's config folder is a test one
    QCoreApplication::setApplicationName("Vidrona");
}

void TestPreferences::storedAndReadBack_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<QString>("edited"); // a line written by hand into the file; empty: none
    QTest::addColumn<int>("simultaneous");
    QTest::newRow("portable copy") << true << "" << 3;
    QTest::newRow("installed copy") << false << "" << 3;
    QTest::newRow("too many rows at once, by hand") << true << "simultaneousDownloads=99" << Preferences::MaxSimultaneous;
    QTest::newRow("none at once, by hand") << true << "simultaneousDownloads=0" << 1;
}

void TestPreferences::storedAndReadBack()
{
    QFETCH(bool, besideProgram);
    QFETCH(QString, edited);
    QFETCH(int, simultaneous);
    const Folders folders{m_dir.filePath("list"), m_dir.filePath("down"), besideProgram};
    const PreferenceStore store(folders);
    QCOMPARE(QFileInfo(store.path()).absolutePath(),
             besideProgram ? folders.list : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    QFile::remove(store.path());
    QCOMPARE(store.load(), Preferences()); // nothing stored: the defaults
    QVERIFY(!QFile::exists(store.path()));  // and nothing written for it
    const Preferences p{"/media/videos", 3, 12, 250 * 1024, false};
    QVERIFY(store.save(p));
    if (!edited.isEmpty()) {
        QSettings s(store.path(), QSettings::IniFormat);
        s.setValue(edited.section('=', 0, 0), edited.section('=', 1));
    }
    const Preferences back = store.load();
    QCOMPARE(back.simultaneous, simultaneous);
    QCOMPARE(back.downloadFolder, p.downloadFolder);
    QCOMPARE(back.connections, p.connections);
    QCOMPARE(back.speedLimit, p.speedLimit);
    QCOMPARE(back.notify, p.notify);
}

// What the window's fields take, and what OK and Cancel leave stored.
void TestPreferences::window_data()
{
    QTest::addColumn<int>("simultaneous"); // typed into the field
    QTest::addColumn<int>("connections");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("storedSimultaneous");
    QTest::addColumn<int>("storedConnections");
    QTest::newRow("OK stores") << 4 << 2 << true << 4 << 2;
    QTest::newRow("a digit past the range is not taken") << 50 << 0 << true << 5 << 1;
    QTest::newRow("Cancel leaves the defaults") << 4 << 2 << false << 1 << 8;
}

void TestPreferences::window()
{
    QFETCH(int, simultaneous);
    QFETCH(int, connections);
    QFETCH(bool, ok);
    QFETCH(int, storedSimultaneous);
    QFETCH(int, storedConnections);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    FrmPreferences w(store, dir.path(), [](QWidget *, const QString &) { return QStringLiteral("/chosen/folder"); },
                     messages);
    QCOMPARE(test::ctl<QLineEdit>(w, "txtDownloadFolder")->text(), dir.path());
    QTest::keyClick(test::ctl<QSpinBox>(w, "spnSimultaneous"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(test::ctl<QSpinBox>(w, "spnSimultaneous"), QString::number(simultaneous));
    test::ctl<QSpinBox>(w, "spnConnections")->setValue(connections);
    test::ctl<QSpinBox>(w, "spnSpeedLimit")->setValue(100);
    test::ctl<QPushButton>(w, "cmdChooseFolder")->click();
    QCOMPARE(test::ctl<QLineEdit>(w, "txtDownloadFolder")->text(), QString("/chosen/folder"));
    test::ctl<QCheckBox>(w, "chkNotify")->setChecked(false);
    auto *buttons = w.findChild<QDialogButtonBox *>();
    buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    const Preferences stored = store.load();
    QCOMPARE(stored.simultaneous, storedSimultaneous);
    QCOMPARE(stored.connections, storedConnections);
    QCOMPARE(stored.downloadFolder, ok ? QString("/chosen/folder") : QString());
    QCOMPARE(stored.speedLimit, ok ? 100 * 1024 : 0);
    QCOMPARE(stored.notify, !ok);
    QVERIFY(messages.calls.isEmpty());
}

// Ctrl+, opens the window, so does the list's context menu; what OK stores
// reaches the next fetches (rows and connections at once, the speed limit,
// the folder), and notifications switch off at once.
void TestPreferences::openedFromTheMainWindow()
{
    QTemporaryDir dir;
    QTemporaryDir other;
    test::RecordingMessages messages;
    DesktopBus desktop(QDBusConnection(QStringLiteral("none")), "org.vidrona.vidrona");
    auto w = createMainWindow(Folders{dir.path(), dir.path(), true}, &messages, &desktop);
    w->Form_Load();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_Comma, Qt::ControlModifier);
    FrmPreferences *prefs = nullptr;
    QTRY_VERIFY((prefs = w->findChild<FrmPreferences *>()) && prefs->isVisible());
    test::ctl<QCheckBox>(*prefs, "chkNotify")->setChecked(false);
    test::ctl<QSpinBox>(*prefs, "spnSimultaneous")->setValue(3);
    test::ctl<QSpinBox>(*prefs, "spnConnections")->setValue(5);
    test::ctl<QSpinBox>(*prefs, "spnSpeedLimit")->setValue(200);
    test::ctl<QLineEdit>(*prefs, "txtDownloadFolder")->setText(other.path());
    prefs->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!desktop.notificationsEnabled());
    QueueRunner &queue = *test::panel<QueuePanel>(*w).downloadQueue();
    QCOMPARE(queue.simultaneous(), 3);
    QCOMPARE(queue.connections(), 5);
    QCOMPARE(net::SpeedLimit::global().rate(), 200 * 1024);
    QCOMPARE(test::storeOf(*w).downloadFolder(), other.path());
    net::SpeedLimit::global().setRate(0);
    QTRY_VERIFY(!w->findChild<FrmPreferences *>()); // closed and gone
    QAction *fromList = nullptr;
    for (QAction *a : test::ctl<QTreeView>(*w, "lDownload")->actions())
        if (a->objectName() == "actPreferences")
            fromList = a;
    QVERIFY(fromList);
    fromList->trigger();
    QTRY_VERIFY(w->findChild<FrmPreferences *>());
    QVERIFY(!test::ctl<QCheckBox>(*w->findChild<FrmPreferences *>(), "chkNotify")->isChecked());
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
