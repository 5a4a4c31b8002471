// A streamed video's fetch that ends early (a piece the server refuses,
// Cancel, the program killed) keeps the pieces that arrived; the next fetch
// of the same playlist asks only for the others, and one of a changed
// playlist starts over. The result always decodes to the clip's frames.
#include "streamsite.h"
#include "download/retries.h"
#include "download/streams/piecefolder.h"
#include "support/testenv.h"
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>
#include <memory>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;

namespace {
constexpr int Pieces = 8; // the clip in half-second pieces

// "/eight/index5.ts" (and "/eight/index5.ts bytes=100-199") -> 5
int pieceNumber(QByteArray path)
{
    path = path.split(' ').first();
    const int at = path.lastIndexOf("index");
    return path.endsWith(".ts") && at >= 0 ? path.mid(at + 5, path.size() - at - 8).toInt() : -1;
}

// The pieces whose files are there, whatever the record says.
QSet<int> piecesOnDisk(const QString &finalPath)
{
    QSet<int> done;
    for (const Span &s : streams::PieceFolder(finalPath).piecesOnDisk(Pieces))
        for (qint64 n = s.begin; n < s.end; ++n)
            done.insert(int(n));
    return done;
}

QSet<int> donePieces(const QString &finalPath)
{
    QSet<int> done;
    const streams::PieceFolder folder(finalPath);
    if (const auto record = folder.load())
        for (const Span &s : record->done)
            for (qint64 n = s.begin; n < s.end; ++n)
                if (folder.pieceSize(int(n)) > 0)
                    done.insert(int(n));
    return done;
}
} // namespace

class TestStreamResume : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void afterAFailedPiece_data();
    void afterAFailedPiece();
    void interrupted_data();
    void interrupted();
    void syncedPiecesSurviveAKill();
    void aPieceFailsOnce_data();
    void aPieceFailsOnce();
    void fullDiskDuringTheJoin();

private:
    void secondRunAsksOnlyFor(const QSet<int> &missing, const QString &finalPath);
    void stopAfterTwoPieces(bool killed, const QString &finalPath);
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<StreamClips> m_clips;
    std::unique_ptr<FolderSite> m_site;
    QString m_playlist;
};

void TestStreamResume::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(QDir().mkpath(m_dir.filePath("site")));
    m_clips = std::make_unique<StreamClips>(m_dir.filePath("site"));
    QVERIFY(m_clips->ok());
    m_playlist = m_clips->make("eight");
    QVERIFY(!m_playlist.isEmpty());
    m_site = std::make_unique<FolderSite>(m_web.server(), m_clips->folder());
}

void TestStreamResume::init()
{
    m_site->adjust = {};
    m_web.server().clearRequests();
}

// The second fetch, with nothing in the way, asks for exactly the pieces
// in missing (some in parts, by several connections) and saves the clip.
void TestStreamResume::secondRunAsksOnlyFor(const QSet<int> &missing, const QString &finalPath)
{
    m_site->adjust = {};
    m_web.server().clearRequests();
    FetchJob job;
    job.url = FolderSite::url(m_playlist);
    job.finalPath = finalPath;
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QSet<int> asked;
    for (const QByteArray &path : pieceRequests(m_web.server()))
        asked.insert(pieceNumber(path));
    QCOMPARE(asked, missing);
    QCOMPARE(shared.piecesDone.load(), Pieces);
    QVERIFY(shared.fresh < shared.received || missing.size() == Pieces);
    QVERIFY(!QFileInfo::exists(streams::PieceFolder(finalPath).path()));
    QCOMPARE(frameSums(finalPath), frameSums(m_clips->reference()));
}

void TestStreamResume::afterAFailedPiece_data()
{
    QTest::addColumn<int>("status"); // -1: a body shorter than announced
    QTest::addColumn<bool>("changed"); // the playlist differs at the second fetch
    QTest::addColumn<QString>("why");  // how the failure's words end
    QTest::newRow("404, same playlist") << 404 << false << "The server answered 404 Not Found for piece 4 of 8";
    QTest::newRow("500, changed playlist") << 500 << true
                                           << "The server answered 500 Internal Server Error for piece 4 of 8";
    QTest::newRow("cut short, same playlist") << -1 << false << "(piece 4 of 8)";
}

void TestStreamResume::afterAFailedPiece()
{
    QFETCH(int, status);
    QFETCH(bool, changed);
    QFETCH(QString, why);
    m_site->adjust = [status](const testweb::Request &r, testweb::Response &resp) {
        if (pieceNumber(r.path) == 3 && status > 0)
            resp.status = status;
        else if (pieceNumber(r.path) == 3)
            resp.announcedLength = resp.body.size() + 1000;
    };
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url(m_playlist);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    job.connections = 1; // the pieces in order: three arrive before the refused one
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QVERIFY2(ui::mainwindow::failureText(result.failure).endsWith(why), qPrintable(ui::mainwindow::failureText(result.failure)));
    QCOMPARE(result.failure.status, qMax(0, status));
    QCOMPARE(retries::isPassing(result.failure), status != 404);
    QVERIFY(!QFileInfo::exists(job.finalPath));
    QCOMPARE(donePieces(job.finalPath), QSet<int>({0, 1, 2}));

    const QString playlist = QDir(m_clips->folder()).filePath(m_playlist);
    const QByteArray text = readFile(playlist);
    if (changed)
        writeFile(QFileInfo(playlist).path(), "index.m3u8", text + "# another version\n");
    QSet<int> missing{3, 4, 5, 6, 7};
    if (changed)
        missing += {0, 1, 2};
    secondRunAsksOnlyFor(missing, job.finalPath);
    writeFile(QFileInfo(playlist).path(), "index.m3u8", text);
}

void TestStreamResume::interrupted_data()
{
    QTest::addColumn<bool>("killed"); // else cancelled
    QTest::newRow("Cancel") << false;
    QTest::newRow("killed with SIGKILL") << true;
}

// The first pieces come at once, the rest slowly, until the fetch is stopped.
void TestStreamResume::interrupted()
{
    QFETCH(bool, killed);
    m_site->adjust = [](const testweb::Request &r, testweb::Response &resp) {
        if (pieceNumber(r.path) >= 2) {
            resp.trickleMs = 20;
            resp.trickleBytes = 256;
        }
    };
    QTemporaryDir out;
    const QString finalPath = QDir(out.path()).filePath("clip.mp4");
    stopAfterTwoPieces(killed, finalPath);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!QFileInfo::exists(finalPath));
    const QSet<int> done = donePieces(finalPath);
    QVERIFY(done.size() >= 2 && done.size() < Pieces);
    QSet<int> missing;
    for (int n = 0; n < Pieces; ++n)
        if (!done.contains(n))
            missing.insert(n);
    secondRunAsksOnlyFor(missing, finalPath);
}

// Fetches with two connections until two pieces are kept, then cancels, or
// kills the child program doing the fetch.
void TestStreamResume::stopAfterTwoPieces(bool killed, const QString &finalPath)
{
    const auto twoKept = [&] { return donePieces(finalPath).size() >= 2; };
    if (!killed) {
        FetchJob job;
        job.url = FolderSite::url(m_playlist);
        job.finalPath = finalPath;
        job.connections = 2;
        FetchShared shared;
        QCOMPARE(fetchInThread(job, shared, 60000, twoKept).failure.reason, net::Reason::Cancelled);
        return;
    }
    QProcess program;
    program.start(QCoreApplication::applicationDirPath() + "/streamchild",
                  {FolderSite::url(m_playlist), finalPath, QString::number(m_web.server().port()), "2"});
    const bool kept = QTest::qWaitFor(twoKept, 30000);
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    QVERIFY(kept);
}

// The program is killed while pieces are on their way: every piece the
// record names lies whole in the one kept file (its bytes were made
// durable before the record named it), and the next fetch asks only for
// the others.
void TestStreamResume::syncedPiecesSurviveAKill()
{
    m_site->adjust = [](const testweb::Request &r, testweb::Response &resp) {
        if (pieceNumber(r.path) >= 2) {
            resp.trickleMs = 20;
            resp.trickleBytes = 256;
        }
    };
    QTemporaryDir out;
    const QString finalPath = QDir(out.path()).filePath("clip.mp4");
    stopAfterTwoPieces(true, finalPath);
    if (QTest::currentTestFailed())
        return;
    const streams::PieceFolder folder(finalPath);
    const std::optional<streams::PieceRecord> record = folder.load();
    QVERIFY(record.has_value());
    const QSet<int> done = donePieces(finalPath);
    QVERIFY(done.size() >= 2 && done.size() < Pieces);
    const QByteArray kept = readFile(folder.keptPath());
    const QDir site(QFileInfo(QDir(m_clips->folder()).filePath(m_playlist)).path());
    for (int n : done) {
        const std::optional<streams::JoinPiece> at = folder.where(*record, n);
        QVERIFY(at.has_value());
        QCOMPARE(at->path, folder.keptPath());
        const QByteArray piece = readFile(site.filePath(QStringLiteral("index%1.ts").arg(n)));
        QVERIFY(!piece.isEmpty());
        QCOMPARE(kept.mid(at->offset, at->length), piece);
    }
    QSet<int> missing;
    for (int n = 0; n < Pieces; ++n)
        if (!done.contains(n))
            missing.insert(n);
    secondRunAsksOnlyFor(missing, finalPath);
}

void TestStreamResume::aPieceFailsOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("404") << "404";
    QTest::newRow("410") << "410";
    QTest::newRow("503") << "503";
    QTest::newRow("cut short: the connection closes") << "cut";
    QTest::newRow("stall") << "stall";
}

// One piece fails at its first try: it alone is asked for again after a
// short wait while the other connection goes on, and the video is saved.
void TestStreamResume::aPieceFailsOnce()
{
    QFETCH(QString, how);
    const auto tries = std::make_shared<std::atomic<int>>(0);
    m_site->adjust = [how, tries](const testweb::Request &r, testweb::Response &resp) {
        if (pieceNumber(r.path) != 3 || tries->fetch_add(1) > 0)
            return;
        if (how == "cut")
            resp.announcedLength = resp.body.size() + 1000;
        else if (how == "stall")
            resp.stallAfterHeaders = true;
        else
            resp.status = how.toInt();
    };
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url(m_playlist);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    job.connections = 2;
    job.stallTimeoutMs = 1500;
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(QFileInfo(job.finalPath).size() > 0);
    QList<int> asked; // whole pieces: an idle connection may take over part of one too
    for (const QByteArray &path : pieceRequests(m_web.server()))
        if (!path.contains(' '))
            asked.append(pieceNumber(path));
    for (int n = 0; n < Pieces; ++n)
        QCOMPARE(asked.count(n), n == 3 ? 2 : 1);
    const qsizetype first = asked.indexOf(3), second = asked.lastIndexOf(3);
    QVERIFY2(second - first > 1, "no other piece was asked for while the failed one waited");
    QCOMPARE(shared.piecesDone.load(), Pieces);
}

// The pieces fit on the disk, the joined file does not: the fetch fails
// for the full disk and keeps every piece, and once there is room the
// next fetch joins them without asking for any.
void TestStreamResume::fullDiskDuringTheJoin()
{
#ifdef Q_OS_LINUX
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
#else
    QSKIP("a small tmpfs is a Linux test");
#endif
    qint64 pieceBytes = 0;
    const QDir site(QFileInfo(QDir(m_clips->folder()).filePath(m_playlist)).path());
    for (const QFileInfo &f : site.entryInfoList({"*.ts"}, QDir::Files))
        pieceBytes += f.size();
    QVERIFY(pieceBytes > 0);
    QTemporaryDir out;
    const QString folder = out.path();
    const qint64 room = (pieceBytes + pieceBytes / 3 + 4095) / 4096 * 4096 + 16 * 4096;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(room), "tmpfs", folder}) != 0)
        QSKIP("mounting a small tmpfs failed");
    const std::shared_ptr<void> unmount(nullptr, [&](void *) { QProcess::execute("umount", {folder}); });
    const QString finalPath = QDir(folder).filePath("clip.mp4");
    FetchJob job;
    job.url = FolderSite::url(m_playlist);
    job.finalPath = finalPath;
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QCOMPARE(result.failure.reason, net::Reason::DiskFull);
    QCOMPARE(ui::mainwindow::failureText(result.failure), QStringLiteral("No space left on the disk"));
    QVERIFY(!QFileInfo::exists(finalPath));
    QCOMPARE(piecesOnDisk(finalPath).size(), Pieces);
    QVERIFY(!QFileInfo::exists(streams::PieceFolder(finalPath).joinedPath()));
    QCOMPARE(QProcess::execute("mount", {"-o", "remount,size=" + QString::number(room * 4), folder}), 0);
    secondRunAsksOnlyFor({}, finalPath);
}

QTEST_GUILESS_MAIN(TestStreamResume)
#include "tst_streamresume.moc"
