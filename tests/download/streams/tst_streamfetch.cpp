// Saving streamed video as one MP4: every shape sites serve (HLS variants,
// TS and CMAF pieces, AES-128, byte ranges, separate sound, DASH
// templates, timelines and lists) fetched through the real file fetch from
// the local web, each result decoded and compared with the clip it was cut
// from; refused streams leave nothing behind.
#include "streamsite.h"
#include "download/keptbytes.h"
#include "download/retries.h"
#include "net/addressrule.h"
#include "download/streams/streamaddress.h"
#include "support/testenv.h"
#include <QDir>
#include <QTemporaryDir>
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;
using namespace vidrona::net;

class TestStreamFetch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        m_site->adjust = {};
        m_web.server().clearRequests();
    }
    void names_data();
    void names();
    void saves_data();
    void saves();
    void refuses_data();
    void refuses();
    void ownNetwork_data();
    void ownNetwork();
    void lyingRanges_data();
    void lyingRanges();
    void lastPiecesShared_data();
    void lastPiecesShared();

private:
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<StreamClips> m_clips;
    std::unique_ptr<FolderSite> m_site;
};

void TestStreamFetch::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(m_dir.filePath("site")));
    m_clips = std::make_unique<StreamClips>(m_dir.filePath("site"));
    QVERIFY(m_clips->ok());
    m_site = std::make_unique<FolderSite>(m_web.server(), m_clips->folder());
}

void TestStreamFetch::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<bool>("stream"); // by address, by type
    QTest::addColumn<bool>("kept");   // a name no download may take
    QTest::newRow("HLS address") << "http://a.test/v/Index.M3U8?x=1" << QByteArray("video/mp4") << true << false;
    QTest::newRow("DASH address") << "http://a.test/v/manifest.mpd" << QByteArray("text/plain") << true << false;
    QTest::newRow("HLS type") << "http://a.test/v/play" << QByteArray("Application/X-MpegURL; charset=utf-8")
                              << true << false;
    QTest::newRow("Apple type") << "http://a.test/v/play" << QByteArray("application/vnd.apple.mpegurl") << true
                                << false;
    QTest::newRow("audio type") << "http://a.test/v/play" << QByteArray("audio/mpegurl") << true << false;
    QTest::newRow("DASH type") << "http://a.test/v/play" << QByteArray("application/dash+xml") << true << false;
    QTest::newRow("older HLS type") << "http://a.test/v/play" << QByteArray("audio/x-mpegurl") << true << false;
    QTest::newRow("older DASH type") << "http://a.test/v/play" << QByteArray("video/vnd.mpeg.dash.mpd") << true
                                     << false;
    QTest::newRow("a video file") << "http://a.test/v/clip.mp4" << QByteArray("video/mp4") << false << false;
    QTest::newRow("a playlist in the query") << "http://a.test/v?f=a.m3u8" << QByteArray("video/mp2t") << false
                                             << false;
    QTest::newRow("a pieces folder") << "http://a.test/.clip.mp4.PIECES" << QByteArray() << false << true;
}

void TestStreamFetch::names()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, type);
    QFETCH(bool, stream);
    QFETCH(bool, kept);
    const QUrl url(name);
    QCOMPARE(streams::isStreamAddress(url) || streams::isStreamType(type), stream);
    QCOMPARE(kept::isKeptName(url.fileName()), kept);
}

void TestStreamFetch::saves_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<bool>("byType"); // asked at an address that does not say it is a stream
    QTest::addColumn<bool>("shared"); // the first piece comes slowly: idle connections take parts of it
    QTest::addColumn<int>("times");   // the clip is this many times in the video
    QTest::newRow("HLS master, the better variant") << "master" << false << false << 1;
    QTest::newRow("TS pieces") << "ts" << false << false << 1;
    QTest::newRow("TS pieces, known by their type") << "ts" << true << false << 1;
    QTest::newRow("TS pieces, a slow one shared") << "ts" << false << true << 1;
    QTest::newRow("TS pieces, a discontinuity") << "discontinuity" << false << false << 2;
    QTest::newRow("CMAF pieces") << "cmaf" << false << false << 1;
    QTest::newRow("AES-128") << "aes" << false << false << 1;
    QTest::newRow("byte ranges") << "ranges" << false << false << 1;
    QTest::newRow("separate sound") << "audio" << false << false << 1;
    QTest::newRow("DASH $Number$") << "dash-number" << false << false << 1;
    QTest::newRow("DASH $Time$ timeline") << "dash-time" << false << false << 1;
    QTest::newRow("DASH SegmentList") << "dash-list" << false << false << 1;
}

void TestStreamFetch::saves()
{
    QFETCH(QString, shape);
    QFETCH(bool, byType);
    QFETCH(bool, shared);
    QFETCH(int, times);
    const QString top = m_clips->make(shape);
    QVERIFY(!top.isEmpty());
    const QString playlist = QDir(m_clips->folder()).filePath(top);
    m_site->adjust = [playlist, shared](const testweb::Request &r, testweb::Response &resp) {
        if (r.path.endsWith("/typed"))
            resp = testweb::Response::text(readFile(playlist), "application/x-mpegURL");
        if (shared && r.path.endsWith("/index0.ts")) {
            resp.trickleMs = 20;
            resp.trickleBytes = 2048;
        }
    };
    QTemporaryDir out;
    FetchJob job;
    job.url = byType ? QUrl(FolderSite::url(top)).resolved(QUrl("typed")) : QUrl(FolderSite::url(top));
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    std::atomic<int> receiving = 0, finishing = 0;
    job.receiving = [&] { receiving += finishing == 0 ? 1 : 100; }; // once, before finishing
    job.finishing = [&] { ++finishing; };
    FetchShared progress;
    const FetchResult result = fetchInThread(job, progress);
    QCOMPARE(receiving.load(), 1);
    QCOMPARE(finishing.load(), 1);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(result.placedAt, job.finalPath);
    QVERIFY(progress.piecesTotal >= 4);
    QCOMPARE(progress.piecesDone.load(), progress.piecesTotal.load());
    QCOMPARE(progress.received.load(), progress.fresh.load());
    if (shared) {
        const QList<QByteArray> asked = pieceRequests(m_web.server());
        QVERIFY2(std::any_of(asked.begin(), asked.end(), [](const QByteArray &r) { return r.contains("/index0.ts bytes="); }),
                 asked.join(' ').constData());
    }
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"clip.mp4"}); // the kept pieces are gone
    QCOMPARE(streamKinds(job.finalPath), QStringList({"audio", "video"}));
    QVERIFY2(qAbs(durationOf(job.finalPath) - 4.0 * times) < 0.3, qPrintable(QString::number(durationOf(job.finalPath))));
    const QByteArray sums = frameSums(job.finalPath);
    QCOMPARE(sums.count('\n'), 40 * times);
    QCOMPARE(sums, frameSums(m_clips->reference()).repeated(times));
}

void TestStreamFetch::refuses_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");
    const QByteArray piece = "#EXTINF:1.0,\nindex0.ts\n";
    QTest::newRow("HLS live") << "#EXTM3U\n#EXT-X-TARGETDURATION:1\n" + piece << "live.m3u8"
                              << "This is a live stream: it has no end to save.";
    QTest::newRow("HLS SAMPLE-AES") << "#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"skd://k\"\n" + piece
                                           + "#EXT-X-ENDLIST\n"
                                    << "drm.m3u8" << "This video is protected (SAMPLE-AES) and cannot be saved.";
    const QByteArray keyed = "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"%1\"\n" + piece + "#EXT-X-ENDLIST\n";
    QTest::newRow("a key of 5 bytes") << QString(keyed).arg("k5.bin").toLatin1() << "k5.m3u8"
                                      << "The key of the video is not 16 bytes";
    QTest::newRow("a key of 17 bytes") << QString(keyed).arg("k17.bin").toLatin1() << "k17.m3u8"
                                       << "The key is larger than allowed";
    QTest::newRow("a key that is not there") << QString(keyed).arg("gone.bin").toLatin1() << "gone.m3u8"
                                             << "The server answered 404 Not Found for the key";
    QTest::newRow("a playlist past 8 MB") << "#EXTM3U\n" + QByteArray(8 << 20, '#') << "large.m3u8"
                                          << "The playlist is larger than 8 MB.";
    const QByteArray rep = "<Representation id=\"v\" bandwidth=\"1\" mimeType=\"video/mp4\"><BaseURL>v.mp4</BaseURL>"
                           "</Representation>";
    QTest::newRow("DASH live") << "<MPD type=\"dynamic\"><Period><AdaptationSet>" + rep
                                      + "</AdaptationSet></Period></MPD>"
                               << "live.mpd" << "This is a live stream: it has no end to save.";
    QTest::newRow("DASH DRM")
        << "<MPD type=\"static\" mediaPresentationDuration=\"PT4S\"><Period><AdaptationSet>"
           "<ContentProtection schemeIdUri=\"urn:uuid:edef8ba9-79d6-4ace-a3c8-27dcd51d21ed\"/>"
               + rep + "</AdaptationSet></Period></MPD>"
        << "drm.mpd" << "This video is protected (DRM) and cannot be saved.";
}

void TestStreamFetch::refuses()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QFETCH(QString, why);
    const QString folder = QDir(m_clips->folder()).filePath("refused");
    QDir().mkpath(folder);
    writeFile(folder, name, text);
    writeFile(folder, "k5.bin", "12345");
    writeFile(folder, "k17.bin", QByteArray(17, 'k'));
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url("refused/" + name);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QCOMPARE(ui::mainwindow::failureText(result.failure), why);
    QVERIFY(!retries::isPassing(result.failure));
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(pieceRequests(m_web.server()), QList<QByteArray>());
}

void TestStreamFetch::ownNetwork_data()
{
    QTest::addColumn<bool>("local"); // the playlist the user named is on this machine
    QTest::newRow("a public playlist, a piece on this machine") << false;
    QTest::newRow("a playlist on this machine, its pieces too") << true;
}

// A public playlist may not lead into the user's own machine or network;
// one the user named there may.
void TestStreamFetch::ownNetwork()
{
    QFETCH(bool, local);
    const QString folder = QDir(m_clips->folder()).filePath("refused");
    QDir().mkpath(folder);
    writeFile(folder, "inside.m3u8", "#EXTM3U\n#EXTINF:1.0,\nhttp://127.0.0.1:9/v.ts\n#EXT-X-ENDLIST\n");
    QTemporaryDir out;
    FetchJob job;
    job.url = local ? QStringLiteral("http://127.0.0.1:%1/%2").arg(m_web.server().port()).arg(m_clips->make("ts"))
                    : FolderSite::url("refused/inside.m3u8");
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    if (local) {
        QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
        QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()));
        return;
    }
    QCOMPARE(result.failure.reason, net::Reason::AddressRefused);
    QCOMPARE(ui::mainwindow::failureText(result.failure),
             "The address 127.0.0.1 is in a private network or on this computer, and was refused. (piece 1 of 1)");
    QVERIFY(!QFileInfo::exists(job.finalPath));
}

void TestStreamFetch::lyingRanges_data()
{
    QTest::addColumn<QString>("lie");
    QTest::addColumn<bool>("saved"); // else refused, the answers not adding up
    QTest::newRow("206 without a length, on to the end of the file") << "to the end" << true;
    QTest::newRow("206 for bytes before the ones asked") << "shifted" << false;
    QTest::newRow("200 with a file that ends before the range") << "short file" << false;
}

// Pieces that are byte ranges of one file, answered by a server that does
// not keep to them: a piece never takes more bytes than its range, nor
// bytes from elsewhere in the file, nor fewer when the file ends early.
void TestStreamFetch::lyingRanges()
{
    QFETCH(QString, lie);
    QFETCH(bool, saved);
    const QString top = m_clips->make("ranges");
    QVERIFY(!top.isEmpty());
    const QString root = m_clips->folder();
    m_site->adjust = [root, lie](const testweb::Request &r, testweb::Response &resp) {
        static const QRegularExpression asked("^bytes=(\\d+)-(\\d+)$");
        const QRegularExpressionMatch m = asked.match(QString::fromLatin1(r.header("Range")));
        if (resp.status != 206 || !m.hasMatch())
            return;
        const QByteArray file = readFile(QDir(root).filePath(QString::fromUtf8(r.path).mid(1)));
        const qint64 from = m.captured(1).toLongLong(), length = m.captured(2).toLongLong() + 1 - from;
        if (lie == "short file") {
            resp = testweb::Response::bytes(file.left(from + length - 100), "video/mp2t");
            return;
        }
        resp.chunked = lie == "to the end";
        const qint64 sent = lie == "shifted" ? qMax<qint64>(0, from - 188) : from; // one TS packet early
        resp.body = lie == "to the end" ? file.mid(from) : file.mid(sent, length);
        for (auto &field : resp.headers)
            if (lie == "shifted" && field.first == "Content-Range")
                field.second = QStringLiteral("bytes %1-%2/%3").arg(sent).arg(sent + length - 1).arg(file.size()).toLatin1();
    };
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url(top);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QCOMPARE(result.ok(), saved);
    if (!saved) {
        QCOMPARE(result.failure.reason, net::Reason::AnswersDoNotAddUp);
        QVERIFY(!QFileInfo::exists(job.finalPath));
        return;
    }
    QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()));
}

void TestStreamFetch::lastPiecesShared_data()
{
    QTest::addColumn<int>("connections");
    QTest::newRow("eight connections, two pieces left") << 8;
    QTest::newRow("six connections, two pieces left") << 6;
}

// Once every piece is taken, an idle connection takes over half of what
// the piece with the most left still has to fetch: the last pieces are
// shared evenly and end together, not one of them left to one connection.
void TestStreamFetch::lastPiecesShared()
{
    QFETCH(int, connections);
    const QString into = QDir(m_clips->folder()).filePath("twopieces");
    QVERIFY(QFileInfo::exists(into + "/index.m3u8")
            || (QDir().mkpath(into)
                && runTool("ffmpeg", {"-v", "error", "-i", m_clips->reference(), "-c", "copy", "-f", "hls", "-hls_time",
                                      "2", "-hls_playlist_type", "vod", into + "/index.m3u8"})));
    m_site->adjust = [](const testweb::Request &r, testweb::Response &resp) {
        if (r.path.endsWith(".ts"))
            resp.trickleMs = 20, resp.trickleBytes = 4096; // 200 kB/s a connection: a piece takes over a second
    };
    QTemporaryDir out;
    FetchJob job;
    job.url = FolderSite::url("twopieces/index.m3u8");
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    job.connections = connections;
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()));
    QMap<QByteArray, int> asked; // requests per piece: the whole, then its parts taken over
    for (const QByteArray &request : pieceRequests(m_web.server()))
        ++asked[request.split(' ').first()];
    QCOMPARE(asked.size(), 2);
    const int first = asked.first(), second = asked.last();
    // Each has half of the connections at least (a part left over late
    // may be shared once more).
    QVERIFY2(qMin(first, second) >= connections / 2, qPrintable(QString("%1 and %2 requests").arg(first).arg(second)));
}

QTEST_GUILESS_MAIN(TestStreamFetch)
#include "tst_streamfetch.moc"
