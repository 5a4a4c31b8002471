// The queue runner of the main window, over real loopback HTTP.
#include "queuefixture.h"
#include <QLabel>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::download;
using namespace vidrona::download::service;
using test::QueueFixture;
using test::fileAddress;
Q_DECLARE_METATYPE(testweb::Response)
Q_DECLARE_METATYPE(QList<testweb::Response>)

namespace {
const QString Failure =
    QStringLiteral("An error has occured in the file transfer or write.  Please try again later.");

testweb::Response slowBody(int bytes = 120)
{
    testweb::Response r = testweb::Response::bytes(QByteArray(bytes, 'x'));
    r.trickleMs = 10;
    r.trickleBytes = 1;
    return r;
}
} // namespace

class TestQueue : public QObject
{
    Q_OBJECT
private slots:
    void threeRowsInListOrder();
    void whichRowsAreFetched_data();
    void whichRowsAreFetched();
    void savedFile_data();
    void savedFile();
    void failedRowsSayWhy();
    void passingFailuresAreTriedAgain_data();
    void passingFailuresAreTriedAgain();
    void cancelWhileWaitingToRetry();
    void failedRowWaitsForTheNextPress();
    void oneRunAtATime();
    void cancel_data();
    void cancel();
    void cancelKeepsTheBytes();
    void removeAndCleanDuringAFetch();
    void closingTheWindowStopsTheFetch();
    void stalledServerDoesNotHangTheQueue();
    void yesAtStartFetchesOnce();
};

void TestQueue::threeRowsInListOrder()
{
    QueueFixture f;
    f.load({"a.flv:PENDING", "b.flv:PENDING", "c.flv:PENDING"});
    QStringList seen; // at each start: row status, button, label, saved list
    connect(&f.queue(), &DownloadService::rowStarted, this, [&](quint64 id) {
        const DownloadEntry &e = f.list().at(f.list().rowOfId(id));
        seen << QString("%1 %2 %3 %4 saved").arg(e.fileName, e.statusWord(),
                                                 f.ui<QPushButton>("startButton")->isEnabled() ? "on" : "off",
                                                 f.ui<QLabel>("filesLabel")->text())
                    + QString::number(f.listFile().count("COMPLETED"));
    });
    QVERIFY(f.press());
    QCOMPARE(seen, QStringList({"a.flv DOWNLOADING off 0 of 3 files downloaded. saved0",
                                "b.flv DOWNLOADING off 1 of 3 files downloaded. saved1",
                                "c.flv DOWNLOADING off 2 of 3 files downloaded. saved2"}));
    QCOMPARE(f.ui<QLabel>("filesLabel")->text(), QString("3 of 3 files downloaded."));
    QCOMPARE(f.requested(), QStringList({"a.flv", "b.flv", "c.flv"}));
    QCOMPARE(f.listFile(), test::listOf({"a.flv:COMPLETED", "b.flv:COMPLETED", "c.flv:COMPLETED"}));
    QCOMPARE(f.file("b.flv"), QByteArray("body of b.flv"));
    QVERIFY(f.ui<QPushButton>("startButton")->isEnabled());
    QVERIFY(f.messages.calls.isEmpty());
}

void TestQueue::whichRowsAreFetched_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("fetched");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("canceled fetched, completed not")
        << QStringList{"a:COMPLETED", "b:CANCELED"} << QStringList{"b"}
        << QStringList{"COMPLETED", "COMPLETED"};
    QTest::newRow("only downloading: saved, nothing fetched")
        << QStringList{"a:DOWNLOADING"} << QStringList{} << QStringList{"DOWNLOADING"};
    QTest::newRow("failed and pending, unknown word left")
        << QStringList{"a:FAILED", "b:Pending", "c:PENDING"} << QStringList{"a", "c"}
        << QStringList{"COMPLETED", "Pending", "COMPLETED"};
    QTest::newRow("empty list") << QStringList{} << QStringList{} << QStringList{};
}

void TestQueue::whichRowsAreFetched()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, fetched);
    QFETCH(QStringList, after);
    QueueFixture f;
    f.load(rows);
    QFile::remove(f.dir.filePath("List")); // every run ends saved
    QVERIFY(f.press());
    QCOMPARE(f.requested(), fetched);
    QCOMPARE(f.statuses(), after);
    QVERIFY(QFile::exists(f.dir.filePath("List")));
    QCOMPARE(f.listFile().count("\r\n"), 3 * after.size());
}

void TestQueue::savedFile_data()
{
    using testweb::Response;
    QTest::addColumn<QString>("name");     // as listed; also the route
    QTest::addColumn<Response>("response");
    QTest::addColumn<QByteArray>("content"); // empty: the fetch fails
    QTest::addColumn<bool>("requested");
    QTest::newRow("an older clip.flv stays, the new one takes the next name")
        << "clip.flv" << Response::bytes("new") << QByteArray("new") << true;
    QTest::newRow("error page is not the video")
        << "clip.flv" << Response::notFound() << QByteArray() << true;
    Response shortBody = Response::bytes("part");
    shortBody.announcedLength = 999;
    QTest::newRow("short body") << "clip.flv" << shortBody << QByteArray() << true;
    QTest::newRow("address ends with a slash")
        << "folder/" << Response::bytes("x") << QByteArray() << false;
    QTest::newRow("dot dot as the name")
        << ".." << Response::bytes("x") << QByteArray() << false;
#ifdef Q_OS_WIN // names that only Windows refuses
    QTest::newRow("query in the name")
        << "get.php?id=3" << Response::bytes("x") << QByteArray() << false;
#endif
    QTest::newRow("name of kept bytes")
        << "clip.flv.part" << Response::bytes("x") << QByteArray() << false;
    QTest::newRow("name of the list file")
        << "List" << Response::bytes("x") << QByteArray() << false;
#ifdef Q_OS_WIN
    QTest::newRow("backslashes out of the folder")
        << "..\\escape.flv" << Response::bytes("x") << QByteArray() << false;
#endif
}

// One row; an older "clip.flv" of 3000 bytes waits in the folder.
void TestQueue::savedFile()
{
    QFETCH(QString, name);
    QFETCH(testweb::Response, response);
    QFETCH(QByteArray, content);
    QFETCH(bool, requested);
    QueueFixture f;
    f.load({name + ":PENDING"});
    f.route(name, response);
    const QByteArray older(3000, 'o');
    test::writeFile(f.dir.path(), "clip.flv", older);
    QVERIFY(f.press());

    const bool ok = !content.isEmpty();
    QCOMPARE(f.statuses(), QStringList{ok ? "COMPLETED" : "FAILED"});
    QCOMPARE(f.requested().size(), requested ? 1 : 0);
    // A file the fetch did not write is never replaced.
    QCOMPARE(f.file("clip.flv"), older);
    if (ok)
        QCOMPARE(f.file("clip (2).flv"), content);
    QCOMPARE(f.files(), ok ? QStringList({"clip (2).flv", "clip.flv", "List"}) : QStringList({"clip.flv", "List"}));
    QVERIFY(!QFile::exists(QDir(f.dir.path()).filePath("../escape.flv")));
    const QByteArray listed = test::listOf({name + (ok ? ":COMPLETED" : ":FAILED")});
    QCOMPARE(f.listFile(), ok ? "clip (2).flv" + listed.mid(listed.indexOf("\r\n")) : listed);
    QCOMPARE(f.messages.calls.size(), ok ? 0 : 1);
    if (!ok) {
        QVERIFY2(f.messages.calls[0].text.startsWith(Failure + "\r\n"), qPrintable(f.messages.calls[0].text));
        QCOMPARE(f.messages.calls[0].title, QString());
        QCOMPARE(f.messages.calls[0].flags, 64);
    }
}

// Rows that fail for different reasons keep different reasons in their
// Progress cell, where a user looks for why.
void TestQueue::failedRowsSayWhy()
{
    QueueFixture f;
    f.load({"missing.flv:PENDING", "short.flv:PENDING", "..:PENDING", "good.flv:PENDING"});
    f.route("missing.flv", testweb::Response::notFound());
    testweb::Response shortBody = testweb::Response::bytes("part");
    shortBody.announcedLength = 999;
    f.route("short.flv", shortBody);
    QVERIFY(f.press());
    QCOMPARE(f.statuses(), QStringList({"FAILED", "FAILED", "FAILED", "COMPLETED"}));
    QStringList reasons;
    for (const DownloadEntry &e : f.list().entries())
        reasons << e.progress;
    QVERIFY2(reasons[0].contains("404"), qPrintable(reasons[0]));
    QVERIFY(!reasons[1].isEmpty() && !reasons[2].isEmpty());
    QCOMPARE(QSet<QString>(reasons.begin(), reasons.begin() + 3).size(), 3);
    QCOMPARE(reasons[3], QString());
    QCOMPARE(f.list().data(f.list().index(0, DownloadList::ColProgress), Qt::ToolTipRole).toString(), reasons[0]);
}

// A busy server, a cut connection: tried again (here after 50 ms, or when
// the server says) before the row fails; a 404 fails at once.
void TestQueue::passingFailuresAreTriedAgain_data()
{
    using testweb::Response;
    QTest::addColumn<QList<Response>>("answers"); // in turn; the last one repeats
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("firstWait"); // how the Progress cell's first wait begins
    Response busy = Response::html("busy", 503);
    Response tooMany = Response::html("slow down", 429);
    tooMany.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
    Response cut = Response::bytes(QByteArray(4000, 'c'));
    cut.dropAfter = 1000;
    const Response file = Response::bytes(QByteArray(4000, 'c'));
    const QString busyWait = "Retrying in 1 s (the server answered 503";
    QTest::newRow("503, then the file") << QList<Response>{busy, file} << "COMPLETED" << 2 << busyWait;
    QTest::newRow("429 with Retry-After, then the file")
        << QList<Response>{tooMany, file} << "COMPLETED" << 2 << "Retrying in 1 s (the server answered 429";
    QTest::newRow("cut off, then the file") << QList<Response>{cut, file} << "COMPLETED" << 2 << "Retrying in 1 s (";
    QTest::newRow("404 fails at once") << QList<Response>{Response::notFound(), file} << "FAILED" << 1 << "";
    QTest::newRow("503 every time: three retries") << QList<Response>{busy} << "FAILED" << 4 << busyWait;
}

void TestQueue::passingFailuresAreTriedAgain()
{
    QFETCH(QList<testweb::Response>, answers);
    QFETCH(QString, status);
    QFETCH(int, requests);
    QFETCH(QString, firstWait);
    QueueFixture f;
    f.load({"clip.flv:PENDING"});
    f.queue().setRetryDelays({50, 50, 50});
    f.web.server().on(test::Host, "/v/clip.flv", testweb::inTurn(answers));
    f.ui<QPushButton>("startButton")->click();
    QStringList waits; // what the Progress cell says between the tries
    QVERIFY(QTest::qWaitFor([&] {
        const QString cell = f.list().at(0).progress;
        if (cell.startsWith("Retrying") && !waits.contains(cell))
            waits << cell;
        return !f.queue().isRunning();
    }, 20000));
    QCOMPARE(f.statuses(), QStringList{status});
    QCOMPARE(f.requested().size(), requests);
    QVERIFY2(firstWait.isEmpty() ? waits.isEmpty() : waits.value(0).startsWith(firstWait), qPrintable(waits.join('|')));
    QCOMPARE(f.messages.calls.size(), status == "FAILED" ? 1 : 0);
    if (status == "COMPLETED")
        QCOMPARE(f.file("clip.flv"), QByteArray(4000, 'c'));
}

// Cancel pressed while a row waits to be tried again: it waits no more.
void TestQueue::cancelWhileWaitingToRetry()
{
    QueueFixture f;
    f.load({"clip.flv:PENDING", "next.flv:PENDING"});
    f.queue().setRetryDelays({60000});
    f.route("clip.flv", testweb::Response::html("busy", 503));
    f.ui<QPushButton>("startButton")->click();
    QVERIFY(QTest::qWaitFor([&] { return f.list().at(0).progress.startsWith("Retrying in 60 s"); }, 10000));
    f.select(0);
    f.ui<QPushButton>("cancelButton")->click();
    QVERIFY(f.waitIdle(10000)); // well before the minute
    QCOMPARE(f.statuses(), QStringList({"CANCELED", "COMPLETED"}));
    QCOMPARE(f.requested(), QStringList({"clip.flv", "next.flv"}));
    QCOMPARE(f.messages.calls.size(), 0);
}

void TestQueue::failedRowWaitsForTheNextPress()
{
    QueueFixture f;
    f.load({"bad.flv:PENDING", "good.flv:PENDING"});
    // The first answer is an error page, every later one the file.
    f.web.server().on(test::Host, "/v/bad.flv",
                      testweb::inTurn({testweb::Response::notFound(), testweb::Response::bytes("fixed")}));
    QVERIFY(f.press());
    QCOMPARE(f.requested(), QStringList({"bad.flv", "good.flv"}));
    QCOMPARE(f.statuses(), QStringList({"FAILED", "COMPLETED"}));
    QCOMPARE(f.messages.calls.size(), 1);

    QVERIFY(f.press());
    QCOMPARE(f.requested(), QStringList({"bad.flv", "good.flv", "bad.flv"}));
    QCOMPARE(f.statuses(), QStringList({"COMPLETED", "COMPLETED"}));
    QCOMPARE(f.file("bad.flv"), QByteArray("fixed"));
}

// Everything that starts the queue arrives during a fetch; a row is added.
void TestQueue::oneRunAtATime()
{
    QueueFixture f;
    f.load({"a.flv:PENDING", "b.flv:PENDING"});
    f.route("a.flv", slowBody());
    f.web.server().resetConnectionPeak();
    f.ui<QPushButton>("startButton")->click();
    QTRY_COMPARE(f.requested().size(), 1);
    QVERIFY(!f.ui<QPushButton>("startButton")->isEnabled());

    QSignalSpy fired(f.ui<QTimer>("startupTimer"), &QTimer::timeout);
    f.ui<QTimer>("startupTimer")->start();
    QVERIFY(fired.wait(5000)); // the timer's restart came during the fetch
    f.panel->runQueue();
    f.select(1);
    f.ui<QPushButton>("cancelButton")->click(); // another row: only enables the button
    QVERIFY(f.ui<QPushButton>("startButton")->isEnabled());
    f.ui<QPushButton>("startButton")->click();
    f.store->Download(fileAddress("c.flv"));
    QCOMPARE(f.statuses(), QStringList({"DOWNLOADING", "PENDING", "PENDING"}));

    QVERIFY(f.waitIdle());
    QCOMPARE(f.requested(), QStringList({"a.flv", "b.flv", "c.flv"}));
    QCOMPARE(f.statuses(), QStringList({"COMPLETED", "COMPLETED", "COMPLETED"}));
    QCOMPARE(f.web.server().connectionPeak(), 1);
    QCOMPARE(f.file("a.flv"), QByteArray(120, 'x'));
    QVERIFY(f.messages.calls.isEmpty());
}

void TestQueue::cancel_data()
{
    QTest::addColumn<QStringList>("rows"); // a.flv is the slow one
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("rightAfter");
    QTest::addColumn<QStringList>("atEnd");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QStringList>("fetched");
    const QStringList two{"a.flv:PENDING", "b.flv:PENDING"};
    QTest::newRow("the running row") << two << 0 << QStringList{"CANCELED", "PENDING"}
                                     << QStringList{"CANCELED", "COMPLETED"} << 0
                                     << QStringList{"a.flv", "b.flv"}; // no retry in the run
    QTest::newRow("another row") << two << 1 << QStringList{"DOWNLOADING", "PENDING"}
                                 << QStringList{"COMPLETED", "COMPLETED"} << 0
                                 << QStringList{"a.flv", "b.flv"};
    QTest::newRow("no row") << two << -1 << QStringList{"DOWNLOADING", "PENDING"}
                            << QStringList{"COMPLETED", "COMPLETED"} << 0
                            << QStringList{"a.flv", "b.flv"};
    QTest::newRow("a row left downloading by an earlier run")
        << QStringList{"old.flv:DOWNLOADING", "a.flv:PENDING"} << 0
        << QStringList{"CANCELED", "DOWNLOADING"} << QStringList{"COMPLETED", "COMPLETED"} << 0
        << QStringList{"a.flv", "old.flv"};
}

void TestQueue::cancel()
{
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    QFETCH(QStringList, rightAfter);
    QFETCH(QStringList, atEnd);
    QFETCH(int, messages);
    QFETCH(QStringList, fetched);
    QueueFixture f;
    f.load(rows);
    f.route("a.flv", slowBody());
    f.ui<QPushButton>("startButton")->click();
    QTRY_COMPARE(f.requested().size(), 1);
    if (selected >= 0)
        f.select(selected);
    f.ui<QPushButton>("cancelButton")->click();
    QCOMPARE(f.statuses(), rightAfter);
    QVERIFY(f.ui<QPushButton>("startButton")->isEnabled());
    QVERIFY(f.waitIdle());
    QCOMPARE(f.statuses(), atEnd);
    QCOMPARE(f.messages.calls.size(), messages);
    QCOMPARE(f.requested(), fetched);
    const int a = f.names().indexOf("a.flv");
    QCOMPARE(QFile::exists(f.dir.filePath("a.flv")), atEnd[a] == "COMPLETED");
}

// Cancel is the user's, not a failure: no box, the row stays CANCELED,
// and its kept bytes are what the next Start Download continues.
void TestQueue::cancelKeepsTheBytes()
{
    QueueFixture f;
    f.load({"a.flv:PENDING"});
    f.web.server().on(test::Host, "/v/a.flv", [](const testweb::Request &r) {
        testweb::Response slow = testweb::Response::ranged(r, 100000, "\"a\"");
        slow.trickleMs = r.header("Range").isEmpty() ? 10 : 0;
        slow.trickleBytes = 500;
        return slow;
    });
    f.ui<QPushButton>("startButton")->click();
    QTRY_VERIFY(QFileInfo(f.dir.filePath("a.flv.part")).size() > 0);
    f.select(0);
    f.ui<QPushButton>("cancelButton")->click();
    QVERIFY(f.waitIdle());
    QCOMPARE(f.statuses(), QStringList{"CANCELED"});
    QVERIFY(f.messages.calls.isEmpty());
    QCOMPARE(f.list().at(0).progress, QString("Cancelled"));
    QCOMPARE(f.files(), QStringList({"a.flv.part", "a.flv.partinfo", "List"}));
    QVERIFY(f.press());
    QCOMPARE(f.statuses(), QStringList{"COMPLETED"});
    QCOMPARE(f.file("a.flv"), testweb::Server::patternBytes(0, 100000));
    QVERIFY(f.web.server().requests().last().header("Range").startsWith("bytes="));
}

void TestQueue::removeAndCleanDuringAFetch()
{
    QueueFixture f;
    f.load({"a.flv:PENDING", "done.flv:COMPLETED", "gone.flv:PENDING", "c.flv:PENDING"});
    f.route("a.flv", slowBody());
    // What an earlier fetch of the PENDING row kept: bytes, or a stream's pieces.
    const QDir dir(f.dir.path());
    QVERIFY(dir.mkdir(".gone.flv.pieces"));
    test::writeFile(dir.filePath(".gone.flv.pieces"), "0.piece", "kept");
    test::writeFile(f.dir.path(), "gone.flv.part", "kept");
    f.ui<QPushButton>("startButton")->click();
    QTRY_COMPARE(f.requested().size(), 1);
    f.ui<QPushButton>("cleanButton")->click();
    QCOMPARE(f.names(), QStringList({"a.flv", "gone.flv", "c.flv"}));
    f.select(1);
    f.ui<QPushButton>("removeButton")->click(); // a PENDING row leaves the queue
    QVERIFY(!dir.exists(".gone.flv.pieces")); // and takes what was kept for it
    QVERIFY(!dir.exists("gone.flv.part"));
    f.select(0);
    f.ui<QPushButton>("removeButton")->click(); // the running row: its fetch goes on
    QCOMPARE(f.listFile(), test::listOf({"c.flv:PENDING"}));
    QVERIFY(f.waitIdle());
    QCOMPARE(f.names(), QStringList({"c.flv"}));
    QCOMPARE(f.statuses(), QStringList({"COMPLETED"}));
    QCOMPARE(f.requested(), QStringList({"a.flv", "c.flv"}));
    QCOMPARE(f.file("a.flv"), QByteArray(120, 'x'));
    QCOMPARE(f.listFile(), test::listOf({"c.flv:COMPLETED"}));
}

void TestQueue::stalledServerDoesNotHangTheQueue()
{
    QueueFixture f;
    f.load({"a.flv:PENDING", "b.flv:PENDING"});
    testweb::Response stalled = testweb::Response::pattern(1 << 20);
    stalled.stallAfterHeaders = true;
    f.route("a.flv", stalled);
    f.queue().setStallTimeout(300);
    QVERIFY(f.press());
    QCOMPARE(f.statuses(), QStringList({"FAILED", "COMPLETED"}));
    QCOMPARE(f.messages.calls.size(), 1);
    QVERIFY(!QFile::exists(f.dir.filePath("a.flv")));
}

// The start-up question's Yes starts the queue through the timer, once.
void TestQueue::yesAtStartFetchesOnce()
{
    QueueFixture f;
    f.messages.answers << AnswerYes;
    // c.flv was left DOWNLOADING by a run that ended during its fetch.
    f.load({"a.flv:PENDING", "b.flv:COMPLETED", "c.flv:DOWNLOADING"});
    QVERIFY(f.ui<QTimer>("startupTimer")->isActive());
    QTRY_COMPARE(f.statuses(), QStringList({"COMPLETED", "COMPLETED", "COMPLETED"}));
    QVERIFY(f.waitIdle());
    QVERIFY(!f.ui<QTimer>("startupTimer")->isActive());
    QCOMPARE(f.requested(), QStringList({"a.flv", "c.flv"}));
}

void TestQueue::closingTheWindowStopsTheFetch()
{
    QueueFixture f;
    f.load({"a.flv:PENDING"});
    f.web.server().on(test::Host, "/v/a.flv", [](const testweb::Request &r) {
        testweb::Response slow = testweb::Response::ranged(r, 100000, "\"a\"");
        slow.trickleMs = 10;
        slow.trickleBytes = 500;
        return slow;
    });
    f.ui<QPushButton>("startButton")->click();
    QTRY_VERIFY(QFileInfo(f.dir.filePath("a.flv.part")).size() > 0);
    f.w->close();
    QTRY_VERIFY(!f.queue().fetching());
    QCOMPARE(f.listFile(), test::listOf({"a.flv:PENDING"}));
    QVERIFY(!QFile::exists(f.dir.filePath("a.flv")));
    QVERIFY(f.messages.calls.isEmpty());
    QCOMPARE(f.files(), QStringList({"a.flv.part", "a.flv.partinfo", "List"}));
}

QTEST_MAIN(TestQueue)
#include "tst_queue.moc"
