// What the desktop is told, on a private session bus (dbus-run-session):
// notifications to a stand-in service, the task bar's launcher-entry
// signal, and the whole window telling of a download it finished.
#include "desktop/desktopbus.h"
#include "notificationstandin.h"
#include "support/browsercapture.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/mainwindow/queuepanel.h"
#include <QDBusConnection>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::download;
using test::NotificationStandIn;

// Listens for the launcher entry's Update signal.
class LauncherListener : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> updates;
    QStringList entries;
public slots:
    void update(const QString &entry, const QVariantMap &properties)
    {
        entries << entry;
        updates << properties;
    }
};

class TestDesktopBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void notifications_data();
    void notifications();
    void openFolderFromTheNotification();
    void noServiceNoWord();
    void taskBarProgress();
    void windowTellsOfAFinishedDownload();
};

void TestDesktopBus::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QFAIL("no session bus: run this test under dbus-run-session");
}

void TestDesktopBus::notifications_data()
{
    QTest::addColumn<QStringList>("ended"); // name:ok or name:reason
    QTest::addColumn<bool>("withActions");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("body");
    QTest::newRow("one finished") << QStringList{"Море.mp4:ok"} << true << "Море.mp4" << "Море.mp4 was downloaded.";
    QTest::newRow("one failed, with its reason")
        << QStringList{"clip.flv:No data came for 60 seconds."} << true << "clip.flv"
        << "clip.flv could not be downloaded: No data came for 60 seconds.";
    QTest::newRow("three at once share one") << QStringList{"a.mp4:ok", "b.mp4:ok", "c.mp4:The server answered 404"}
                                             << false << "a.mp4 and 2 more"
                                             << "a.mp4 was downloaded.\nb.mp4 was downloaded.\n"
                                                "c.mp4 could not be downloaded: The server answered 404";
}

void TestDesktopBus::notifications()
{
    QFETCH(QStringList, ended);
    QFETCH(bool, withActions);
    QFETCH(QString, summary);
    QFETCH(QString, body);
    NotificationStandIn service(withActions);
    QVERIFY(service.registered());
    DesktopBus desktop(QDBusConnection::sessionBus(), "org.vidrona.vidrona");
    QTest::qWait(200); // its question for the service's capabilities
    for (const QString &e : ended) {
        const QString how = e.section(':', 1);
        desktop.downloadEnded(e.section(':', 0, 0), "/downloads", how == "ok", how == "ok" ? QString() : how);
    }
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 1, 5000);
    QTest::qWait(DesktopBus::JoinMs + 200); // and no second one
    QCOMPARE(service.received.size(), 1);
    QCOMPARE(service.received[0].summary, summary);
    QCOMPARE(service.received[0].body, body);
    QCOMPARE(service.received[0].actions,
             withActions ? QStringList({"open-folder", "Open Folder"}) : QStringList());
    QCOMPARE(service.received[0].hints.value("desktop-entry").toString(), QString("org.vidrona.vidrona"));
}

void TestDesktopBus::openFolderFromTheNotification()
{
    NotificationStandIn service(true);
    DesktopBus desktop(QDBusConnection::sessionBus(), "org.vidrona.vidrona");
    QSignalSpy open(&desktop, &DesktopBus::openFolderRequested);
    QTest::qWait(200);
    desktop.downloadEnded("a.mp4", "/home/u/Downloads/Vidrona", true, QString());
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 1, 5000);
    QTest::qWait(200); // the id of the notification comes back
    service.chooseAction(99, "open-folder"); // another program's notification
    service.chooseAction(1, "open-folder");
    QVERIFY(open.wait(5000));
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.at(0).at(0).toString(), QString("/home/u/Downloads/Vidrona"));
}

// Nobody on the bus shows notifications: nothing happens, nothing is said.
void TestDesktopBus::noServiceNoWord()
{
    DesktopBus desktop(QDBusConnection::sessionBus(), "org.vidrona.vidrona");
    desktop.downloadEnded("a.mp4", "/d", true, QString());
    QTest::qWait(DesktopBus::JoinMs + 300);
    NotificationStandIn late(true);
    QTest::qWait(300);
    QVERIFY(late.received.isEmpty()); // nothing was kept to send later
    desktop.setNotificationsEnabled(false);
    desktop.downloadEnded("b.mp4", "/d", true, QString());
    QTest::qWait(DesktopBus::JoinMs + 300);
    QVERIFY(late.received.isEmpty()); // switched off
}

void TestDesktopBus::taskBarProgress()
{
    LauncherListener listener;
    QDBusConnection listen = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "listener");
    QVERIFY(listen.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", &listener,
                           SLOT(update(QString, QVariantMap))));
    DesktopBus desktop(QDBusConnection::sessionBus(), "org.vidrona.vidrona");
    desktop.showProgress(1, 0.25);
    desktop.showProgress(1, 0.252); // too small a change to redraw for
    desktop.showProgress(1, 0.5);
    desktop.clearProgress();
    QTRY_COMPARE_WITH_TIMEOUT(listener.updates.size(), 3, 5000);
    QCOMPARE(listener.entries[0], QString("application://org.vidrona.vidrona.desktop"));
    QCOMPARE(listener.updates[0].value("count").toLongLong(), 1);
    QCOMPARE(listener.updates[0].value("progress").toDouble(), 0.25);
    QCOMPARE(listener.updates[1].value("progress").toDouble(), 0.5);
    QCOMPARE(listener.updates[1].value("progress-visible").toBool(), true);
    QCOMPARE(listener.updates[2].value("progress-visible").toBool(), false);
    QCOMPARE(listener.updates[2].value("count-visible").toBool(), false);
    QDBusConnection::disconnectFromBus("listener");
}

// The main window, not the active one, fetches a row: the desktop hears
// of it, and the task bar's progress is cleared when the queue ends.
void TestDesktopBus::windowTellsOfAFinishedDownload()
{
    NotificationStandIn service(true);
    LauncherListener listener;
    QDBusConnection listen = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "listener2");
    listen.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update", &listener,
                   SLOT(update(QString, QVariantMap)));
    test::LocalWeb web;
    web.server().on("media.vidrona.test", "/v/clip.flv",
                    [](const testweb::Request &) { return testweb::Response::pattern(1 << 20); });
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", "clip.flv\r\nhttp://media.vidrona.test/v/clip.flv\r\nPENDING\r\n");
    test::RecordingMessages messages;
    DesktopBus desktop(QDBusConnection::sessionBus(), "org.vidrona.vidrona");
    auto w = createMainWindow(Folders{dir.path(), dir.path(), true}, &messages, &desktop);
    w->startUp();
    messages.calls.clear();
    test::ctl<QPushButton>(*w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(service.received.size(), 1, 20000);
    QCOMPARE(service.received[0].summary, QString("clip.flv"));
    QCOMPARE(test::storeOf(*w).list().at(0).status, Status::Completed);
    QTRY_VERIFY_WITH_TIMEOUT(!listener.updates.isEmpty(), 5000);
    QCOMPARE(listener.updates.last().value("progress-visible").toBool(), false);
    QDBusConnection::disconnectFromBus("listener2");
}

QTEST_MAIN(TestDesktopBus)
#include "tst_desktopbus.moc"
