// Several rows at once over real loopback HTTP: the next rows in list
// order start as others end, Cancel stops one row only, and the one speed
// limit holds for all of them together.
#include "download/entrystatus.h"
#include "download/filefetch.h"
#include "net/speedlimit.h"
#include "support/testenv.h"
#include "queuerun.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::download::service;
using testweb::Response;

namespace {
const QByteArray Host = "media.vidrona.test";

QString urlOf(int row)
{
    return QStringLiteral("http://media.vidrona.test/v/clip%1.flv").arg(row);
}

// rows rows, each a pattern body of size bytes sent in slices.
void writeRows(const QString &folder, int rows)
{
    QByteArray list;
    for (int i = 0; i < rows; ++i)
        list += QStringLiteral("clip%1.flv\r\n%2\r\n%3\r\n").arg(i).arg(urlOf(i), status::Pending).toUtf8();
    test::writeFile(folder, "List", list);
}

Response slowPattern(qint64 size, int sliceBytes)
{
    Response r = Response::pattern(size, "video/x-flv");
    r.trickleMs = 10;
    r.trickleBytes = sliceBytes;
    return r;
}

bool hasPattern(const QString &path, qint64 size)
{
    return test::readFile(path) == testweb::Server::patternBytes(0, size);
}
} // namespace

class TestSimultaneous : public QObject
{
    Q_OBJECT
private slots:
    void rowsAtOnce_data();
    void rowsAtOnce();
    void cancelStopsOneRow();
    void speedLimitHoldsForAllRows();
    void newLimitEndsAWait_data();
    void newLimitEndsAWait();
};

void TestSimultaneous::rowsAtOnce_data()
{
    QTest::addColumn<int>("simultaneous");
    QTest::addColumn<int>("rows");
    QTest::newRow("one at a time") << 1 << 3;
    QTest::newRow("two of four") << 2 << 4;
    QTest::newRow("three of three") << 3 << 3;
    QTest::newRow("more room than rows") << 8 << 2;
}

void TestSimultaneous::rowsAtOnce()
{
    QFETCH(int, simultaneous);
    QFETCH(int, rows);
    constexpr qint64 Size = 96 << 10;
    test::LocalWeb web;
    web.server().onPrefix(Host, "/v/", [](const testweb::Request &) { return slowPattern(Size, 4096); });
    QTemporaryDir dir;
    writeRows(dir.path(), rows);
    test::QueueRun run(dir.path());
    run.setSimultaneous(simultaneous);
    QList<quint64> started;
    int mostAtOnce = 0;
    connect(&run.queue, &DownloadService::rowStarted, this, [&](quint64 id) { started << id; });
    connect(&run.queue, &DownloadService::progressed, this,
            [&](int running) { mostAtOnce = qMax(mostAtOnce, running); });
    QVERIFY(run.run());
    QCOMPARE(mostAtOnce, qMin(simultaneous, rows));
    QVERIFY(web.server().connectionPeak() >= qMin(simultaneous, rows));
    for (int i = 0; i < rows; ++i) {
        QCOMPARE(run.list.at(i).statusWord(), status::Completed);
        QCOMPARE(started.value(i), run.list.at(i).id); // list order
        QVERIFY(hasPattern(QDir(dir.path()).filePath(run.list.at(i).fileName), Size));
    }
}

// The first of two running rows is cancelled: the second goes on, and the
// third takes the free place.
void TestSimultaneous::cancelStopsOneRow()
{
    constexpr qint64 Size = 160 << 10;
    test::LocalWeb web;
    web.server().onPrefix(Host, "/v/", [](const testweb::Request &) { return slowPattern(Size, 2048); });
    QTemporaryDir dir;
    writeRows(dir.path(), 3);
    test::QueueRun run(dir.path());
    run.setSimultaneous(2);
    run.start();
    QVERIFY(QTest::qWaitFor([&] { return run.queue.runningIds().size() == 2; }, 10000));
    QVERIFY(run.queue.cancel(run.list.at(0).id));
    QVERIFY(run.wait());
    QCOMPARE(run.list.at(0).statusWord(), status::Canceled);
    QCOMPARE(run.list.at(0).progress, QStringLiteral("Cancelled"));
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(run.list.at(i).statusWord(), status::Completed);
        QVERIFY(hasPattern(QDir(dir.path()).filePath(run.list.at(i).fileName), Size));
    }
    QVERIFY(!QFileInfo::exists(QDir(dir.path()).filePath(run.list.at(0).fileName)));
}

// Two rows share one limit. Ten seconds of data at the limit: long enough
// that the bucket's first quarter second and the machine's load weigh
// little; the server alone could send it in well under a second.
void TestSimultaneous::speedLimitHoldsForAllRows()
{
    constexpr qint64 Limit = 1 << 20;
    constexpr qint64 Size = 5 << 20;
    test::LocalWeb web;
    web.server().onPrefix(Host, "/v/", [](const testweb::Request &) { return Response::pattern(Size, "video/x-flv"); });
    QTemporaryDir dir;
    writeRows(dir.path(), 2);
    test::QueueRun run(dir.path());
    DownloadSettings settings = run.queue.settings();
    settings.simultaneous = 2;
    settings.speedLimit = Limit;
    run.queue.apply(settings);
    QElapsedTimer clock;
    clock.start();
    run.start();
    QVERIFY(QTest::qWaitFor([&] { return !run.queue.isRunning(); }, 60000));
    const double rate = 2.0 * Size / (clock.nsecsElapsed() / 1e9);
    QCOMPARE(run.list.at(1).statusWord(), status::Completed);
    QVERIFY2(rate <= 1.1 * Limit && rate >= 0.9 * Limit, qPrintable(QStringLiteral("%1 bytes/s").arg(rate)));
}

void TestSimultaneous::newLimitEndsAWait_data()
{
    QTest::addColumn<qint64>("newRate");
    QTest::newRow("limit lifted") << 0LL;
    QTest::newRow("limit raised") << qint64(64 << 20);
}

// A fetch that waits out a tiny limit's debt (hours for its first bytes)
// goes on as soon as the user lifts or raises the limit.
void TestSimultaneous::newLimitEndsAWait()
{
    QFETCH(qint64, newRate);
    constexpr qint64 Size = 256 << 10;
    test::LocalWeb web;
    web.server().onPrefix(Host, "/v/", [](const testweb::Request &) { return Response::pattern(Size, "video/x-flv"); });
    QTemporaryDir dir;
    FetchJob job;
    job.url = urlOf(0);
    job.finalPath = QDir(dir.path()).filePath("clip0.flv");
    job.stallTimeoutMs = 60000;
    FetchShared shared;
    job.speedLimit = std::make_shared<net::SpeedLimit>();
    job.speedLimit->setRate(1);
    std::atomic<bool> done{false};
    FetchResult result;
    std::thread fetching([&] {
        result = runFetch(job, shared);
        done = true;
    });
    const bool waiting = QTest::qWaitFor([&] { return shared.received > 0; }, 20000);
    job.speedLimit->setRate(newRate);
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, 20000);
    shared.cancel = true; // a wait that goes on ends here
    if (!QTest::qWaitFor([&] { return done.load(); }, 20000))
        qWarning("the fetch did not end within 20 s of Cancel");
    fetching.join();
    QVERIFY(waiting);
    QVERIFY(ended);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(hasPattern(job.finalPath, Size));
}

QTEST_MAIN(TestSimultaneous)
#include "tst_simultaneous.moc"
