// The Preferences: stored and read back where each kind of copy keeps
// them, taken only within range, and opened from the main window.
#include "desktop/desktopbus.h"
#include "desktop/preferences.h"
#include "download/liststore.h"
#include "net/speedlimit.h"
#include "ui/mainwindow/queuepanel.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/preferences/preferenceswindow.h"
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QLabel>
#include <QTreeView>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::download::service;
using namespace vidrona::ui::preferences;

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
    void oddFilesAreLeftAlone_data();
    void oddFilesAreLeftAlone();
    void shownAsItActs_data();
    void shownAsItActs();
    void sameFileAsQtSettings_data();
    void sameFileAsQtSettings();

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
    PreferencesWindow w(store, dir.path(), [](QWidget *, const QString &) { return QStringLiteral("/chosen/folder"); },
                        messages);
    QCOMPARE(test::ctl<QLineEdit>(w, "folderBox")->text(), dir.path());
    QTest::keyClick(test::ctl<QSpinBox>(w, "simultaneousBox"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(test::ctl<QSpinBox>(w, "simultaneousBox"), QString::number(simultaneous));
    test::ctl<QSpinBox>(w, "connectionsBox")->setValue(connections);
    test::ctl<QSpinBox>(w, "speedLimitBox")->setValue(100);
    test::ctl<QPushButton>(w, "chooseFolderButton")->click();
    QCOMPARE(test::ctl<QLineEdit>(w, "folderBox")->text(), QString("/chosen/folder"));
    test::ctl<QCheckBox>(w, "notifyBox")->setChecked(false);
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
    w->startUp();
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_Comma, Qt::ControlModifier);
    PreferencesWindow *prefs = nullptr;
    QTRY_VERIFY((prefs = w->findChild<PreferencesWindow *>()) && prefs->isVisible());
    test::ctl<QCheckBox>(*prefs, "notifyBox")->setChecked(false);
    test::ctl<QSpinBox>(*prefs, "simultaneousBox")->setValue(3);
    test::ctl<QSpinBox>(*prefs, "connectionsBox")->setValue(5);
    test::ctl<QSpinBox>(*prefs, "speedLimitBox")->setValue(200);
    test::ctl<QLineEdit>(*prefs, "folderBox")->setText(other.path());
    prefs->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!desktop.notificationsEnabled());
    const DownloadSettings applied = test::serviceOf(*w).settings();
    QCOMPARE(applied.simultaneous, 3);
    QCOMPARE(applied.connections, 5);
    QCOMPARE(applied.speedLimit, 200 * 1024);
    QCOMPARE(applied.folder, other.path());
    QCOMPARE(test::serviceOf(*w).speedLimit().rate(), 200 * 1024);
    QCOMPARE(test::storeOf(*w).downloadFolder(), other.path());
    QTRY_VERIFY(!w->findChild<PreferencesWindow *>()); // closed and gone
    QAction *fromList = nullptr;
    for (QAction *a : test::ctl<QTreeView>(*w, "downloadList")->actions())
        if (a->objectName() == "preferencesAction")
            fromList = a;
    QVERIFY(fromList);
    fromList->trigger();
    QTRY_VERIFY(w->findChild<PreferencesWindow *>());
    QVERIFY(!test::ctl<QCheckBox>(*w->findChild<PreferencesWindow *>(), "notifyBox")->isChecked());
}

namespace {
qint64 peakMemoryKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

// What a user with odd files puts at the settings file's name: read
// without waiting, following or swallowing it; the defaults are shown and
// the window says why; OK replaces the name, never what a link points to.
void TestPreferences::oddFilesAreLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a pipe") << "pipe";
    QTest::newRow("300 MB") << "large";
    QTest::newRow("a link to a file elsewhere") << "link";
}

void TestPreferences::oddFilesAreLeftAlone()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    const QByteArray elsewhere = "; the user's own notes\n[General]\nsimultaneousDownloads=2\n";
    const QString outside = test::writeFile(dir.path(), "elsewhere.ini", elsewhere);
    if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(store.path()).constData(), 0600), 0);
    else if (kind == "link")
        QVERIFY(QFile::link(outside, store.path()));
    else {
        QFile large(test::writeFile(dir.path(), "Vidrona.ini", elsewhere));
        QVERIFY(large.resize(300 << 20)); // sparse: the disk holds little of it
    }
    const qint64 memoryBefore = peakMemoryKb();
    std::atomic<bool> done = false;
    Preferences read;
    QElapsedTimer clock;
    clock.start();
    std::thread reader([&] { read = store.load(); done = true; });
    const bool inTime = QTest::qWaitFor([&] { return done.load(); }, 5000);
    if (!inTime) // a reader stuck on the pipe is let go before the test fails
        ::close(::open(QFile::encodeName(store.path()).constData(), O_WRONLY | O_NONBLOCK));
    reader.join();
    qInfo("read in %lld ms, peak memory up by %lld KB", clock.elapsed(), peakMemoryKb() - memoryBefore);
    QVERIFY2(inTime, "reading the settings waited");
    QVERIFY2(peakMemoryKb() - memoryBefore < 32 * 1024, "the settings file was read whole");
    QCOMPARE(read, Preferences());
    test::RecordingMessages messages;
    PreferencesWindow w(store, dir.path(), {}, messages);
    auto *notice = w.findChild<QLabel *>("noticeLabel");
    QVERIFY(notice && !notice->isHidden());
    QVERIFY2(notice->text().contains(QDir::toNativeSeparators(store.path())), qPrintable(notice->text()));
    test::ctl<QSpinBox>(w, "simultaneousBox")->setValue(4);
    w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(messages.calls.isEmpty());
    QCOMPARE(test::readFile(outside), elsewhere);
    QVERIFY(QFileInfo(store.path()).isFile() && !QFileInfo(store.path()).isSymLink());
    QCOMPARE(store.load().simultaneous, 4);
}

// A hand-edited speed limit acts as the window shows it: below 1 KB/s it
// is raised to 1 KB/s, past the window's top brought down to it, and kept
// in whole KB/s.
void TestPreferences::shownAsItActs_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qint64>("acting"); // bytes per second
    QTest::addColumn<QString>("shown");
    QTest::newRow("1 byte/s") << "1" << qint64(1024) << "1 KB/s";
    QTest::newRow("1500 bytes/s") << "1500" << qint64(1024) << "1 KB/s";
    QTest::newRow("250 KB/s") << "256000" << qint64(256000) << "250 KB/s";
    QTest::newRow("none") << "0" << qint64(0) << "No limit";
    QTest::newRow("below none") << "-3" << qint64(0) << "No limit";
    QTest::newRow("not a number") << "fast" << qint64(0) << "No limit";
    const int top = 1000000; // the window's highest KB/s
    QTest::newRow("past the top") << "5000000000000" << qint64(top) * 1024 << QString::number(top) + " KB/s";
}

void TestPreferences::shownAsItActs()
{
    QFETCH(QString, stored);
    QFETCH(qint64, acting);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::writeFile(dir.path(), "Vidrona.ini", "[General]\nspeedLimit=" + stored.toUtf8() + "\n");
    QCOMPARE(store.load().speedLimit, acting);
    test::RecordingMessages messages;
    PreferencesWindow w(store, dir.path(), {}, messages);
    QCOMPARE(test::ctl<QSpinBox>(w, "speedLimitBox")->text(), shown);
    QCOMPARE(w.preferences().speedLimit, acting); // OK keeps what acts
}

// Files Qt's settings class wrote still load, and what the program writes
// Qt reads the same, blanks, separators, quotes and accents included;
// lines the program does not set survive a save.
void TestPreferences::sameFileAsQtSettings_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "/media/videos";
    QTest::newRow("blanks") << "/media/my videos";
    QTest::newRow("separators") << "/a,b;c=d";
    QTest::newRow("quote and backslash") << "/say \"hi\"\\there";
    QTest::newRow("accents") << QString::fromUtf8("/vid\xc3\xa9os/\xe1\x83\x95");
    QTest::newRow("starts with @") << "@home";
    QTest::newRow("blank at the ends") << " /x ";
    QTest::newRow("a tab before a hex digit") << "/a\tb\x01" "2";
}

void TestPreferences::sameFileAsQtSettings()
{
    QFETCH(QString, folder);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::writeFile(dir.path(), "Vidrona.ini", "[General]\nfuture=1\n\n[Other]\nx=y\n");
    {
        QSettings s(store.path(), QSettings::IniFormat);
        s.setValue("downloadFolder", folder);
        s.setValue("connectionsPerFile", 5);
        s.setValue("notify", false);
    }
    test::writeFile(dir.path(), "Vidrona.ini", "; kept by hand\n" + test::readFile(store.path()));
    Preferences p = store.load();
    QCOMPARE(p.downloadFolder, folder);
    QCOMPARE(p.connections, 5);
    QCOMPARE(p.notify, false);
    p.downloadFolder = folder + "/more";
    p.simultaneous = 3;
    QVERIFY(store.save(p));
    const QSettings s(store.path(), QSettings::IniFormat);
    QCOMPARE(s.value("downloadFolder").toString(), folder + "/more");
    QCOMPARE(s.value("simultaneousDownloads").toInt(), 3);
    QCOMPARE(s.value("connectionsPerFile").toInt(), 5);
    QCOMPARE(s.value("notify").toBool(), false);
    QCOMPARE(s.value("future").toInt(), 1);
    QCOMPARE(s.value("Other/x").toString(), QString("y"));
    QCOMPARE(store.load(), p);
    QVERIFY(test::readFile(store.path()).startsWith("; kept by hand\n"));
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
