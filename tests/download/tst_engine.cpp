// The engine under every row, over real loopback HTTP: a part that fails
// is asked for again alone while the others go on, a row costs a bounded
// number of threads however many connections it opens, and a plain
// address that answers with a playlist is asked for once.
#include "download/keptbytes.h"
#include "download/retries.h"
#include "download/transfer.h"
#include "enginefixture.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include "support/testenv.h"
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

using namespace vidrona;
using namespace vidrona::download;
using testweb::Request;
using testweb::Response;

namespace {
const QByteArray V1 = "\"v1\"";

bool isOpenRange(const Request &r)
{
    return QRegularExpression(QStringLiteral("^bytes=\\d+-$")).match(QString::fromLatin1(r.header("Range"))).hasMatch();
}
} // namespace

class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_web.ok()); }
    void partRetriedAlone_data();
    void partRetriedAlone();
    void oneConnectionRetried_data();
    void oneConnectionRetried();
    void threadsOfRows_data();
    void threadsOfRows();
    void playlistAskedOnce_data();
    void playlistAskedOnce();

private:
    test::LocalWeb m_web;
};

void TestEngine::partRetriedAlone_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("status"); // the fault of every second request: 0 a reset, else this status once
    QTest::newRow("16 connections, every second one reset once") << 16 << 0;
    QTest::newRow("4 connections, every second one reset once") << 4 << 0;
    QTest::newRow("16 connections, every second one answered 503 once") << 16 << 503;
}

// One try for the row (no retry of the row at all): it completes only
// when each failed part is asked for again on its own.
void TestEngine::partRetriedAlone()
{
    QFETCH(int, connections);
    QFETCH(int, status);
    constexpr qint64 Size = 32 << 20;
    auto n = std::make_shared<int>(0);
    auto faults = std::make_shared<int>(0);
    m_web.server().clearRequests();
    m_web.server().on(test::EngineHost, "/v/parts.bin", [=](const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.bytesPerSecond = 16 << 20;
        const bool faulty = ++*n % 2 == 0 && *faults < connections / 2 && !isOpenRange(r) && r.header("Range").size();
        if (faulty && status) {
            resp = Response::html("busy", status);
            resp.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("0")));
        } else if (faulty) {
            resp.dropAfter = 64 << 10;
        }
        *faults += faulty;
        return resp;
    });
    QTemporaryDir dir;
    Transfer transfer;
    transfer.setConnections(connections);
    transfer.setStallTimeout(10000);
    std::optional<net::Failure> result;
    connect(&transfer, &Transfer::finished, this, [&](const net::Failure &f) { result = f; });
    const QString target = dir.filePath("parts.bin");
    QVERIFY(transfer.start(test::engineUrl("parts.bin"), target));
    QVERIFY(QTest::qWaitFor([&] { return result.has_value(); }, 60000));
    QVERIFY2(!result->failed(), vidrona::test::describe(*result).constData());
    QVERIFY(test::hasPatternFile(target, Size));
    QVERIFY2(*faults >= 1, "no part failed: the test proves nothing");
    const QList<Request> asked = m_web.server().requests();
    const qsizetype whole = std::count_if(asked.begin(), asked.end(), [](const Request &r) { return r.header("Range").isEmpty(); });
    const qsizetype open = std::count_if(asked.begin(), asked.end(), isOpenRange);
    QCOMPARE(whole, qsizetype(1)); // the first request only: the row never started over
    QCOMPARE(open, qsizetype(0));  // nor went on from its kept bytes as a retried row does
    QVERIFY(asked.size() >= connections + *faults);
}

void TestEngine::oneConnectionRetried_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("cutAgain"); // answers after the first cut off before their first byte
    QTest::addColumn<bool>("completes");
    QTest::newRow("one connection, cut off once") << 1 << qint64(4 << 20) << 0 << true;
    QTest::newRow("a file too small to split, cut off once") << 8 << qint64(1 << 20) << 0 << true;
    QTest::newRow("cut off twice more at the same place") << 1 << qint64(1 << 20) << 2 << true;
    QTest::newRow("cut off at one place until its tries are used") << 1 << qint64(1 << 20) << 3 << false;
}

// One connection cut off after its body began: the row asks for the rest
// itself (no retry of the row), and what arrived is named in the record
// when the tries are used up.
void TestEngine::oneConnectionRetried()
{
    QFETCH(int, connections);
    QFETCH(qint64, size);
    QFETCH(int, cutAgain);
    QFETCH(bool, completes);
    auto n = std::make_shared<int>(0);
    m_web.server().clearRequests();
    m_web.server().on(test::EngineHost, "/v/one.bin", [=](const Request &r) {
        Response resp = Response::ranged(r, size, V1);
        const int i = ++*n;
        if (i == 1)
            resp.dropAfter = size / 2;
        else if (i <= 1 + cutAgain)
            resp.dropAfter = 0;
        return resp;
    });
    QTemporaryDir dir;
    FetchJob job;
    job.url = test::engineUrl("one.bin");
    job.finalPath = dir.filePath("one.bin");
    job.connections = connections;
    job.stallTimeoutMs = 10000;
    FetchShared shared;
    FetchResult result;
    std::atomic<bool> done{false};
    std::thread fetching([&] { // the server answers on this thread
        result = runFetch(job, shared);
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, 60000);
    shared.cancel = true;
    fetching.join();
    QVERIFY(ended);
    const QList<Request> asked = m_web.server().requests();
    QCOMPARE(asked.size(), qsizetype(completes ? 2 + cutAgain : 1 + retries::MaxRetries));
    for (qsizetype i = 1; i < asked.size(); ++i) {
        QCOMPARE(asked[i].header("Range"), QByteArray("bytes=" + QByteArray::number(size / 2) + "-"));
        QCOMPARE(asked[i].header("If-Range"), V1);
    }
    if (completes) {
        QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
        QVERIFY(test::hasPatternFile(job.finalPath, size));
        return;
    }
    QCOMPARE(result.failure.reason, net::Reason::BrokeOff);
    qint64 keptLength = 0;
    const std::optional<kept::Record> record = kept::load(job.finalPath, &keptLength);
    QVERIFY(record.has_value());
    QCOMPARE(kept::firstMissing(record->done), size / 2);
}

void TestEngine::threadsOfRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("connections");
    QTest::newRow("8 rows of 16 connections") << 8 << 16;
    QTest::newRow("2 rows of 16 connections") << 2 << 16;
}

// While the rows run, the process has at most a row's driver per row
// more threads, and the writer threads every row shares.
void TestEngine::threadsOfRows()
{
    QFETCH(int, rows);
    QFETCH(int, connections);
    constexpr qint64 Size = 32 << 20;
    // The two disk writers and the two closing syncs every row shares (a
    // thread of its own per closing sync was the fault this catches: rows
    // that end together each held one), with room for one of Qt's.
    constexpr int SharedThreads = 5;
    m_web.server().onPrefix(test::EngineHost, "/rows/", [](const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.bytesPerSecond = 1 << 20;
        return resp;
    });
    m_web.server().resetConnectionPeak();
    QTemporaryDir dir;
    const int before = test::threadCount();
    std::vector<std::unique_ptr<Transfer>> transfers;
    int ended = 0, failed = 0;
    for (int i = 0; i < rows; ++i) {
        transfers.push_back(std::make_unique<Transfer>());
        transfers.back()->setConnections(connections);
        connect(transfers.back().get(), &Transfer::finished, this, [&](const net::Failure &f) {
            ++ended;
            failed += f.failed();
        });
        const QUrl url(QStringLiteral("http://media.vidrona.test/rows/f%1.bin").arg(i));
        QVERIFY(transfers.back()->start(url, dir.filePath(QStringLiteral("f%1.bin").arg(i))));
    }
    int peak = 0;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this, [&] { peak = qMax(peak, test::threadCount()); });
    sample.start(10);
    QVERIFY(QTest::qWaitFor([&] { return ended == rows; }, 120000));
    QCOMPARE(failed, 0);
    QVERIFY2(m_web.server().connectionPeak() >= rows * 3, "the rows never ran many connections at once");
    qInfo("%d threads before, %d at most while %d rows ran", before, peak, rows);
    QVERIFY2(peak - before <= rows + SharedThreads,
             qPrintable(QStringLiteral("%1 threads before, %2 at most while %3 rows ran").arg(before).arg(peak).arg(rows)));
    for (int i = 0; i < rows; ++i)
        QVERIFY(test::hasPatternFile(dir.filePath(QStringLiteral("f%1.bin").arg(i)), Size));
}

void TestEngine::playlistAskedOnce_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("why");
    const QByteArray piece = "#EXTINF:1.0,\nindex0.ts\n";
    QTest::newRow("a live playlist") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n" + piece
                                     << "This is a live stream: it has no end to save.";
    QTest::newRow("a piece that is not there") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n" + piece + "#EXT-X-ENDLIST\n"
                                               << "The server answered 404 Not Found for piece 1 of 1";
    QTest::newRow("a playlist past 8 MB") << "#EXTM3U\n" + QByteArray(8 << 20, '#')
                                          << "The playlist is larger than 8 MB.";
}

// The address says nothing of a stream; its answer's type does. Its text
// goes from the plain fetch to the stream planner.
void TestEngine::playlistAskedOnce()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, why);
    m_web.server().clearRequests();
    m_web.server().on(test::EngineHost, "/v/play", [text](const Request &) {
        return Response::text(text, "application/x-mpegURL");
    });
    m_web.server().on(test::EngineHost, "/v/index0.ts", [](const Request &) { return Response::notFound(); });
    QTemporaryDir dir;
    FetchJob job;
    job.url = test::engineUrl("play");
    job.finalPath = dir.filePath("play.mp4");
    job.stallTimeoutMs = 10000;
    FetchShared shared;
    FetchResult result;
    std::atomic<bool> done{false};
    std::thread fetching([&] { // the server answers on this thread
        result = runFetch(job, shared);
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, 60000);
    shared.cancel = true;
    fetching.join();
    QVERIFY(ended);
    QCOMPARE(ui::mainwindow::failureText(result.failure), why);
    const QList<Request> asked = m_web.server().requests();
    const qsizetype plays = std::count_if(asked.begin(), asked.end(), [](const Request &r) { return r.path == "/v/play"; });
    QCOMPARE(plays, qsizetype(1));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
