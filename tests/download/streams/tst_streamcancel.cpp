// A streamed video's row on the engine: Cancel while pieces arrive ends it
// within 100 ms however many connections it drives (timing-sensitive: the
// bound is the point of the test, with room for a loaded machine), and its
// threads stay few whatever the connections.
#include "streamsite.h"
#include "../enginefixture.h"
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;

class TestStreamCancel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cancelWhilePiecesArrive_data();
    void cancelWhilePiecesArrive();

private:
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<StreamClips> m_clips;
    std::unique_ptr<FolderSite> m_site;
    QString m_playlist;
};

void TestStreamCancel::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(QDir().mkpath(m_dir.filePath("site")));
    m_clips = std::make_unique<StreamClips>(m_dir.filePath("site"));
    QVERIFY(m_clips->ok());
    m_playlist = m_clips->make("eight");
    QVERIFY(!m_playlist.isEmpty());
    m_site = std::make_unique<FolderSite>(m_web.server(), m_clips->folder());
}

void TestStreamCancel::cancelWhilePiecesArrive_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<bool>("stalled"); // one piece's head came, then nothing
    QTest::newRow("one connection") << 1 << false;
    QTest::newRow("8 connections") << 8 << false;
    QTest::newRow("8 connections, one piece waiting") << 8 << true;
}

// The fetch runs on a thread of its own, as a row's does; the time is from
// setting the row's cancel to the fetch's return. Every piece comes
// slowly, so all connections are busy when Cancel comes.
void TestStreamCancel::cancelWhilePiecesArrive()
{
    QFETCH(int, connections);
    QFETCH(bool, stalled);
    m_site->adjust = [stalled](const testweb::Request &r, testweb::Response &resp) {
        if (!r.path.endsWith(".ts"))
            return;
        resp.trickleMs = 20;
        resp.trickleBytes = 512;
        resp.stallAfterHeaders = stalled && r.path.endsWith("index2.ts");
    };
    m_web.server().resetConnectionPeak();
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url(m_playlist);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    job.connections = connections;
    job.stallTimeoutMs = 60000;
    FetchShared shared;
    const int before = threadCount();
    int peak = 0;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this, [&] { peak = qMax(peak, threadCount()); });
    sample.start(10);
    const CancelledFetch run = cancelWhenArriving(shared, [&] { return runFetch(job, shared); }, [&] {
        return shared.received > (16 << 10) && m_web.server().openConnections() >= connections;
    });
    QVERIFY(run.arrived);
    QVERIFY(run.ended);
    QCOMPARE(run.result.failure.reason, net::Reason::Cancelled);
    QVERIFY2(run.ms <= 100, qPrintable(QStringLiteral("the fetch ended %1 ms after Cancel").arg(run.ms)));
    QVERIFY(!QFile::exists(job.finalPath));
    // The row's own thread, and the two disk writers and two closing syncs
    // every row shares, started by whichever row needs them first (with
    // room for one of Qt's): not a thread per connection.
    constexpr int RowThreads = 1, SharedThreads = 5;
    qInfo("%d connections: %d threads before, %d at most while the row ran", connections, before, peak);
    QVERIFY2(peak - before <= RowThreads + SharedThreads,
             qPrintable(QStringLiteral("%1 threads before, %2 at most while the row ran").arg(before).arg(peak)));
}

QTEST_GUILESS_MAIN(TestStreamCancel)
#include "tst_streamcancel.moc"
