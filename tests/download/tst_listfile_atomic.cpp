#include "download/listfile.h"
#include "support/mainwindowtest.h"
#include "ui/mainwindow/queuepanel.h"
#include "support/recordingmessages.h"
#include "support/smalldisk.h"
#include "support/testenv.h"
#include <QDir>
#include <QLabel>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::download;
using namespace vidrona::download::service;

class TestListFileAtomic : public QObject
{
    Q_OBJECT
private slots:
    void killedSaverLeavesWholeList();
    void failedSaveIsReportedOnceAndOldFileStays();
    void fullDiskAtStartKeepsTheList();
};

// A child saves two lists in turn without pause; each round it is killed
// with SIGKILL at a random moment. The file must then hold one whole list.
void TestListFileAtomic::killedSaverLeavesWholeList()
{
    const QString saver = QCoreApplication::applicationDirPath() + "/listsaver";
    QVERIFY2(QFile::exists(saver), qPrintable(saver));
    QTemporaryDir dir;
    QByteArray oldList, newList;
    int kills = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess child;
        child.start(saver, {dir.path()});
        // After one to four whole saves, somewhere in the next one.
        const int saves = 1 + QRandomGenerator::global()->bounded(4);
        int seen = 0;
        QElapsedTimer clock;
        clock.start();
        while (seen < saves && clock.elapsed() < 20000 && child.waitForReadyRead(int(20000 - clock.elapsed())))
            seen += int(child.readAllStandardOutput().count('\n'));
        QVERIFY(seen >= saves);
        QTest::qSleep(QRandomGenerator::global()->bounded(20));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        ++kills;
        const QByteArray content = test::readFile(dir.filePath("List"));
        if (content.isEmpty())
            continue; // killed before its first save finished
        DownloadList list;
        ListFile::parseInto(content, list);
        QVERIFY2(list.count() == 3000 || list.count() == 5000,
                 qPrintable(QString("round %1: %2 rows").arg(round).arg(list.count())));
        QCOMPARE(ListFile::serialize(list), content);
        (list.count() == 3000 ? oldList : newList) = content;
    }
    QCOMPARE(kills, 25);
    // Both lists were seen, so the kills landed at different points of the loop.
    QVERIFY(!oldList.isEmpty() && !newList.isEmpty());
}

void TestListFileAtomic::failedSaveIsReportedOnceAndOldFileStays()
{
    QTemporaryDir parent;
    const QString folder = parent.filePath("app");
    QVERIFY(QDir().mkpath(folder));
    test::RecordingMessages messages;
    const auto window = createMainWindow(folder, &messages);
    window->startUp();
    ListStore &w = test::storeOf(*window);
    w.list().append("a.flv", "http://h/a.flv", Status::Pending);
    w.SaveList();
    const QByteArray saved = test::readFile(folder + "/List");
    QVERIFY(!saved.isEmpty());

    // The folder goes away: saves fail, the user hears of it once.
    QVERIFY(QDir(folder).removeRecursively());
    w.list().append("b.flv", "http://h/b.flv", Status::Pending);
    w.SaveList();
    w.SaveList();
    QCOMPARE(messages.calls.size(), 1);
    QVERIFY(messages.calls[0].text.contains("could not be saved"));
    QCOMPARE(test::ctl<QLabel>(*window, "filesLabel")->text(), QString("0 of 2 files downloaded."));

    // Once saving works again a later failure is reported again.
    QVERIFY(QDir().mkpath(folder));
    w.SaveList();
    QCOMPARE(test::readFile(folder + "/List").count("\r\n"), 6);
    QVERIFY(QDir(folder).removeRecursively());
    w.SaveList();
    QCOMPARE(messages.calls.size(), 2);
}

// "Yes" at start with the disk full: the queue runs, nothing can be saved,
// and the list on disk stays whole.
void TestListFileAtomic::fullDiskAtStartKeepsTheList()
{
    test::SmallDisk disk;
    if (!disk.ok())
        QSKIP(disk.whyNot);
    test::LocalWeb web;
    web.server().on("media.vidrona.test", "/v/clip.flv",
                    [](const testweb::Request &) { return testweb::Response::pattern(3000); });
    const QByteArray list("clip.flv\r\nhttp://media.vidrona.test/v/clip.flv\r\nPENDING\r\n");
    test::writeFile(disk.path(), "List", list);
    disk.fill();
    test::RecordingMessages messages;
    messages.answers << AnswerYes;
    const auto window = createMainWindow(disk.path(), &messages);
    window->startUp();
    DownloadService &queue = test::serviceOf(*window);
    QVERIFY(QTest::qWaitFor([&] { return !web.server().requests().isEmpty(); }, 10000));
    QVERIFY(QTest::qWaitFor([&] { return !queue.isRunning(); }, 20000));
    QCOMPARE(test::readFile(disk.path() + "/List"), list);
    QStringList said;
    for (const auto &call : messages.calls)
        said << call.text;
    QVERIFY2(said.join('|').contains("The list on disk is the one saved before."), qPrintable(said.join('|')));
}

QTEST_MAIN(TestListFileAtomic)
#include "tst_listfile_atomic.moc"
