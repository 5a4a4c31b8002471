// Cancel while the file is put in place: during the join of a long
// stream's pieces and during the closing sync of a large file, the
// transfer ends within 100 ms of Cancel, and what was fetched stays for
// the next Start. Timing-sensitive: measured from Cancel to finished().
#include "streamsite.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"
#include "download/streams/mp4joiner.h"
#include "download/streams/piecefolder.h"
#include "download/transfer.h"
#include "support/testenv.h"
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;

namespace {
constexpr qint64 CancelBoundMs = 100;
constexpr qint64 LargeFileBytes = qint64(512) << 20;

struct Outcome {
    net::Failure failure;
    qint64 cancelToFinishedMs = -1; // -1: Cancel never came
};

// Starts url into path and cancels the moment the transfer says it puts
// the file in place.
Outcome cancelWhenFinishing(Transfer &transfer, const QString &url, const QString &path)
{
    Outcome outcome;
    QElapsedTimer sinceCancel;
    bool ended = false;
    QObject::connect(&transfer, &Transfer::stateChanged, &transfer, [&](int state) {
        if (state == Transfer::Finishing && !sinceCancel.isValid()) {
            sinceCancel.start();
            transfer.Cancel();
        }
    });
    QObject::connect(&transfer, &Transfer::finished, &transfer, [&](const net::Failure &failure) {
        if (sinceCancel.isValid())
            outcome.cancelToFinishedMs = sinceCancel.elapsed();
        outcome.failure = failure;
        ended = true;
    });
    if (transfer.start(QUrl(url), path) && !QTest::qWaitFor([&] { return ended; }, 180000))
        outcome.failure = net::fail(net::Reason::Other, net::Cause::SystemSaid, QStringLiteral("never ended"));
    transfer.disconnect();
    return outcome;
}
} // namespace

class TestCancelFinishing : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void duringTheJoin();
    void duringTheClosingSync();
    void closingSyncLeftToFinishAlone();

private:
    LocalWeb m_web;
    QTemporaryDir m_dir;
};

void TestCancelFinishing::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_dir.isValid());
}

// Five minutes of tiny pictures at 100 a second: tens of thousands of
// packets, a join that takes a while.
void TestCancelFinishing::duringTheJoin()
{
    const QString site = m_dir.filePath("long");
    QVERIFY(QDir().mkpath(site));
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x32:rate=100:duration=300", "-f",
                               "lavfi", "-i", "sine=frequency=440:duration=300", "-c:v", "libx264", "-preset",
                               "ultrafast", "-g", "200", "-c:a", "aac", "-f", "hls", "-hls_time", "20",
                               "-hls_list_size", "0", "-hls_segment_filename", QDir(site).filePath("p%d.ts"),
                               QDir(site).filePath("index.m3u8")}));
    const int pieces = int(QDir(site).entryList({"*.ts"}, QDir::Files).size());
    QVERIFY(pieces > 1);
    FolderSite folderSite(m_web.server(), m_dir.path());
    const QString finalPath = m_dir.filePath("long.mp4");
    Transfer transfer;
    const Outcome outcome = cancelWhenFinishing(transfer, FolderSite::url("long/index.m3u8"), finalPath);
    QVERIFY2(outcome.failure.reason == net::Reason::Cancelled || !outcome.failure.failed(),
             vidrona::test::describe(outcome.failure).constData());
    if (!outcome.failure.failed())
        QSKIP("the join ended before Cancel reached it");
    QVERIFY(outcome.cancelToFinishedMs >= 0);
    QVERIFY2(outcome.cancelToFinishedMs <= CancelBoundMs, qPrintable(QString::number(outcome.cancelToFinishedMs)));
    qInfo("Cancel to finished() during the join: %lld ms", outcome.cancelToFinishedMs);
    QVERIFY(!QFileInfo::exists(finalPath));
    const streams::PieceFolder folder(finalPath);
    QCOMPARE(folder.piecesOnDisk(pieces), (QList<Span>{{0, pieces}}));
    QVERIFY(!QFileInfo::exists(folder.joinedPath()));
}

// A large file over one connection: the disk is slower than loopback, so
// much of it is still on its way to the disk when the body is complete.
void TestCancelFinishing::duringTheClosingSync()
{
    m_web.server().on("media.vidrona.test", "/large.bin", [](const testweb::Request &req) {
        return testweb::Response::ranged(req, LargeFileBytes, "\"large\"");
    });
    const QString finalPath = m_dir.filePath("large.bin");
    Transfer transfer;
    transfer.setConnections(1);
    const Outcome outcome = cancelWhenFinishing(transfer, "http://media.vidrona.test/large.bin", finalPath);
    QVERIFY2(outcome.failure.reason == net::Reason::Cancelled || !outcome.failure.failed(),
             vidrona::test::describe(outcome.failure).constData());
    if (!outcome.failure.failed())
        QSKIP("the closing sync ended before Cancel reached it");
    QVERIFY2(outcome.cancelToFinishedMs <= CancelBoundMs, qPrintable(QString::number(outcome.cancelToFinishedMs)));
    qInfo("Cancel to finished() during the closing sync: %lld ms", outcome.cancelToFinishedMs);
    QVERIFY(!QFileInfo::exists(finalPath));
    QCOMPARE(QFileInfo(kept::bytesPath(finalPath)).size(), LargeFileBytes);

    // The next Start waits for the sync left alone, which names every
    // byte when over: it only puts the kept bytes in place, nothing is asked.
    m_web.server().clearRequests();
    QSignalSpy finished(&transfer, &Transfer::finished);
    QVERIFY(transfer.start(QUrl("http://media.vidrona.test/large.bin"), finalPath));
    QVERIFY(finished.wait(120000));
    QVERIFY(!finished.at(0).at(0).value<net::Failure>().failed());
    QCOMPARE(m_web.server().requests().size(), 0);
    QCOMPARE(QFileInfo(finalPath).size(), LargeFileBytes);
    QVERIFY(!QFileInfo::exists(kept::bytesPath(finalPath)));
    QVERIFY(!QFileInfo::exists(kept::recordPath(finalPath)));
}

// The sync itself, with all its bytes still to go to the disk (written at
// offsets, so nothing went ahead of it): Cancel ends commitTo at once, the
// file is not put in place and its bytes stay where they were written; once
// the sync is over, what was to follow it (the record) runs.
void TestCancelFinishing::closingSyncLeftToFinishAlone()
{
    constexpr qint64 Bytes = qint64(256) << 20;
    const QString bytesPath = m_dir.filePath("alone.bin.part"), finalPath = m_dir.filePath("alone.bin");
    FileWriter writer;
    QVERIFY(writer.open(bytesPath, false));
    const QByteArray chunk(4 << 20, 'a');
    net::Failure failure;
    for (qint64 at = 0; at < Bytes; at += chunk.size())
        QVERIFY(writer.writeAt(at, chunk.constData(), chunk.size(), &failure));
    std::atomic<bool> cancel{false};
    writer.setCancel(&cancel);
    const auto named = std::make_shared<std::atomic<bool>>(false); // outlives a failed check
    writer.setAfterSyncLeftAlone([named] { *named = true; });
    QElapsedTimer sinceCancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sinceCancel.start();
        cancel = true;
    });
    const bool placed = writer.commitTo(finalPath);
    const qint64 ms = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    canceller.join();
    if (placed)
        QSKIP("the sync ended before Cancel came");
    qInfo("Cancel to the end of commitTo during the sync: %lld ms", ms);
    QCOMPARE(writer.failure().reason, net::Reason::Cancelled);
    QVERIFY(ms >= 0 && ms <= CancelBoundMs);
    QVERIFY(!QFileInfo::exists(finalPath));
    QCOMPARE(QFileInfo(bytesPath).size(), Bytes);
    // What waits for the sync left alone sees it over, its follow-up done.
    FileWriter::awaitSyncLeftAlone(bytesPath, [] { return false; });
    QVERIFY(*named);
}

QTEST_GUILESS_MAIN(TestCancelFinishing)
#include "tst_cancelfinishing.moc"
