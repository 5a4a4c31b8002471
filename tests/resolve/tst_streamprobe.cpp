// The first look at a streamed video, over real loopback sockets: a CDN's
// edge that sends playlists on to their origin with a 302, relative
// addresses taken from where the text came from, and a master judged by
// the playlists the fetch itself would save.
#include "ui/mainwindow/refusaltexts.h"
#include "ui/mainwindow/failuretexts.h"
#include "resolve/videoprobe.h"
#include "support/testenv.h"
#include <QtTest>
#include <optional>

using namespace vidrona;
using namespace vidrona::resolve;
using testweb::Request;
using testweb::Response;

class TestStreamProbe : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_web.reset(); }
    void judged_data();
    void judged();

private:
    void route();
    std::unique_ptr<test::LocalWeb> m_web;
};

namespace {
// The words the window shows for a refusal or a finding of nothing.
QString told(const ProbeResult &r)
{
    return ui::mainwindow::refusalText(r.refusal);
}

const QByteArray Edge = "edge.cdnstreams.test";
const QByteArray Origin = "origin.cdnstreams.test";
const QByteArray HlsType = "application/vnd.apple.mpegurl";

QByteArray mediaPlaylist(bool ended, const QByteArray &key = {})
{
    QByteArray text = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n" + key + "#EXTINF:2,\nseg0.ts\n#EXTINF:2,\nseg1.ts\n";
    return ended ? text + "#EXT-X-ENDLIST\n" : text;
}

const QByteArray Picture = "CODECS=\"avc1.64001f,mp4a.40.2\",RESOLUTION=1280x720";

} // namespace

void TestStreamProbe::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    route();
}

// The origin holds every text; the edge only redirects there, so any
// address resolved against the edge's address meets a 404.
void TestStreamProbe::route()
{
    testweb::Server &s = m_web->server();
    const auto text = [&s](const QByteArray &path, const QByteArray &body, const QByteArray &type = HlsType) {
        s.on(Origin, path, [body, type](const Request &) { return Response::text(body, type); });
    };
    s.onPrefix(Edge, "/", [](const Request &r) {
        static const QHash<QByteArray, QByteArray> moved{
            {"/master.m3u8", "/v1/master.m3u8"}, {"/media.m3u8", "/v1/hi/index.m3u8"},
            {"/watch/7", "/v1/hi/index.m3u8"}, {"/protected-sound.m3u8", "/v1/protected-sound.m3u8"},
            {"/sound-richest.m3u8", "/v1/sound-richest.m3u8"}, {"/picture-live.m3u8", "/v1/picture-live.m3u8"}};
        return moved.contains(r.path) ? Response::redirect("http://" + Origin + moved.value(r.path))
                                      : Response::notFound();
    });
    text("/v1/hi/index.m3u8", mediaPlaylist(true), "application/octet-stream");
    text("/v1/live/index.m3u8", mediaPlaylist(false));
    text("/v1/drm/index.m3u8", mediaPlaylist(true, "#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"skd://k\"\n"));
    text("/v1/master.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000," + Picture + "\nhi/index.m3u8\n");
    // Its sound comes apart, in a rendition the fetch takes with the picture.
    text("/v1/protected-sound.m3u8",
         "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"a\",NAME=\"en\",DEFAULT=YES,URI=\"drm/index.m3u8\"\n"
         "#EXT-X-STREAM-INF:BANDWIDTH=800000," + Picture + ",AUDIO=\"a\"\nhi/index.m3u8\n");
    // The richest variant holds sound and subtitles only: not the picture
    // the fetch saves, so its being live does not matter.
    text("/v1/sound-richest.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=9000000,CODECS=\"mp4a.40.2,wvtt\"\n"
                                   "live/index.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=800000," + Picture + "\nhi/index.m3u8\n");
    text("/v1/picture-live.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000,CODECS=\"mp4a.40.2\"\n"
                                  "hi/index.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=800000," + Picture + "\nlive/index.m3u8\n");
}

void TestStreamProbe::judged_data()
{
    QTest::addColumn<QString>("path"); // asked at the edge
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("words"); // the row's name, or why it was refused
    const int stream = ProbeResult::Stream, refused = ProbeResult::Refused;
    QTest::newRow("a master behind a 302, its variant relative") << "/master.m3u8" << stream << "master.mp4";
    QTest::newRow("a media playlist behind a 302") << "/media.m3u8" << stream << "media.mp4";
    QTest::newRow("an address without extension, a playlist where it lands")
        << "/watch/7" << stream << "7.mp4";
    QTest::newRow("the sound rendition taken with the picture is protected")
        << "/protected-sound.m3u8" << refused << "This video is protected (SAMPLE-AES) and cannot be saved.";
    QTest::newRow("a live variant of sound and subtitles, however rich, is not the one saved")
        << "/sound-richest.m3u8" << stream << "sound-richest.mp4";
    QTest::newRow("the picture's variant is live") << "/picture-live.m3u8" << refused
                                                   << "This is a live stream: it has no end to save.";
}

void TestStreamProbe::judged()
{
    QFETCH(QString, path);
    QFETCH(int, kind);
    QFETCH(QString, words);
    VideoProbe probe;
    probe.setStallTimeout(3000);
    std::optional<ProbeResult> got;
    connect(&probe, &VideoProbe::finished, this, [&](const ProbeResult &r) { got = r; });
    const QString address = "http://" + QString::fromLatin1(Edge) + path;
    QVERIFY(probe.start(address));
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
    QVERIFY2(got->kind == kind, qPrintable(QString("kind %1: %2").arg(got->kind).arg(told(*got))));
    if (kind == ProbeResult::Stream) {
        QCOMPARE(got->fileUrl, address); // the row keeps the address given; its fetch follows the redirect again
        QCOMPARE(got->fileName, words);
    } else {
        QCOMPARE(told(*got), words);
    }
    // Nothing was asked at an address resolved against the edge's.
    for (const Request &r : m_web->server().requests())
        QVERIFY2(r.host != Edge || r.path == path.toLatin1(), r.path.constData());
}

QTEST_GUILESS_MAIN(TestStreamProbe)
#include "tst_streamprobe.moc"
