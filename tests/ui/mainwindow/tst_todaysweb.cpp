// "Add Video" for addresses of today's web, against the simulated web over
// real loopback sockets: the video a page names, or the file itself, as a
// row that Start Download fetches; the names such files get; addresses as
// people paste them; videos streamed in pieces, listed or refused.
#include "addvideotest.h"
#include "ui/mainwindow/listtexts.h"
#include "download/filenames.h"
#include "download/streams/streamlimits.h"
#include "sites/samples.h"
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;
using testweb::Request;
using testweb::Response;

class TestTodaysWeb : public test::AddVideoTest
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void todaysWebDownloads_data();
    void todaysWebDownloads();
    void addressesInTurn();
    void addressesAsPasted_data();
    void addressesAsPasted();
    void todaysWebNames_data();
    void todaysWebNames();
    void streamsListed_data();
    void streamsListed();
    void streamsRefused_data();
    void streamsRefused();

private:
    void routeStreams();
    void addAndWait(const QString &address);
    int getsOf(const QString &address) const;
    void expectOnePendingRow(const QString &fileUrl, const QString &fileName);
};

namespace {

const QByteArray hlsType = "application/vnd.apple.mpegurl";
const QByteArray dashType = "application/dash+xml";
const QString live = "This is a live stream: it has no end to save.";

// A media playlist of two pieces; ended: it has its end (else it is live).
QByteArray mediaPlaylist(bool ended = true, const QByteArray &tags = {})
{
    return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:4\n" + tags + "#EXTINF:4.0,\np0.ts\n#EXTINF:4.0,\np1.ts\n"
           + (ended ? "#EXT-X-ENDLIST\n" : "");
}

QByteArray masterPlaylist(const QByteArray &low, const QByteArray &high)
{
    return "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360\n" + low
           + "\n#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720\n" + high + "\n";
}

QByteArray manifest(const QByteArray &type, const QByteArray &protection = {})
{
    return "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"" + type
           + "\" mediaPresentationDuration=\"PT8S\"><Period><AdaptationSet mimeType=\"video/mp4\">" + protection
           + "<SegmentTemplate initialization=\"init.mp4\" media=\"s$Number$.m4s\" duration=\"4\"/>"
             "<Representation id=\"v\" bandwidth=\"800000\" width=\"640\" height=\"360\"/>"
             "</AdaptationSet></Period></MPD>";
}

QByteArray pieces(int count)
{
    QByteArray text = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n";
    for (int i = 0; i < count; ++i)
        text += "#EXTINF:1,\np.ts\n";
    return text + "#EXT-X-ENDLIST\n";
}

QByteArray page(const QByteArray &head, const QByteArray &body = {})
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">" + head + "</head><body>" + body + "</body></html>";
}

} // namespace

// Playlists and manifests on cdn.streams.test, the pages naming them on
// www.streams.test.
void TestTodaysWeb::routeStreams()
{
    testweb::Server &s = m_web->server();
    const auto serve = [&s](const QByteArray &host, const QByteArray &path, const QByteArray &body, const QByteArray &type) {
        s.on(host, path, [body, type](const Request &) { return Response::bytes(body, type); });
    };
    const QByteArray cdn = "cdn.streams.test", pages = "www.streams.test";
    serve(cdn, "/v/clip.m3u8", mediaPlaylist(), hlsType);
    serve(cdn, "/v/show.mpd", manifest("static"), dashType);
    serve(cdn, "/v/master.m3u8", masterPlaylist("low/vod.m3u8", "high/vod.m3u8"), hlsType);
    serve(cdn, "/v/low/vod.m3u8", mediaPlaylist(), hlsType);
    serve(cdn, "/v/high/vod.m3u8", mediaPlaylist(), hlsType);
    serve(cdn, "/t/apple", mediaPlaylist(), "application/vnd.apple.mpegurl");
    serve(cdn, "/t/x", mediaPlaylist(), "application/x-mpegURL");
    serve(cdn, "/t/audio", mediaPlaylist(), "audio/mpegurl");
    serve(cdn, "/t/dash", manifest("static"), "application/dash+xml; charset=utf-8");
    serve(pages, "/hls/night-market.m3u8", mediaPlaylist(), "application/octet-stream");
    serve(cdn, "/r/live.m3u8", mediaPlaylist(false), hlsType);
    serve(cdn, "/r/master-live.m3u8", masterPlaylist("/v/low/vod.m3u8", "live.m3u8"), hlsType);
    serve(cdn, "/r/dynamic.mpd", manifest("dynamic"), dashType);
    serve(cdn, "/r/sample-aes.m3u8", mediaPlaylist(true, "#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"skd://k\"\n"), hlsType);
    serve(cdn, "/r/protected.mpd", manifest("static", "<ContentProtection schemeIdUri=\"urn:uuid:edef8ba9\"/>"), dashType);
    s.on(cdn, "/r/huge.m3u8", [](const Request &) {
        return Response::bytes("#EXTM3U\n" + QByteArray(streams::MaxPlaylistBytes, '\n'), hlsType);
    });
    serve(cdn, "/r/many.m3u8", pieces(streams::MaxPieces + 1), hlsType);
    serve(cdn, "/r/big-piece.m3u8", mediaPlaylist(true, "#EXT-X-BYTERANGE:1073741825@0\n"), hlsType);
    serve(cdn, "/r/empty.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXT-X-ENDLIST\n", hlsType);
    serve(cdn, "/r/error-page.m3u8", "<html>Sorry, this video is gone.</html>", "text/plain");
    serve(pages, "/og.html", page("<title>Not this | Streams</title><meta property=\"og:title\" content=\"Harbour &amp; sea\">"
                                  "<meta property=\"og:video\" content=\"http://cdn.streams.test/v/clip.m3u8\">"), "text/html");
    serve(pages, "/twitter.html", page("<title>\n  Snow on   the pass\n</title><meta name=\"twitter:player:stream\" "
                                       "content=\"http://cdn.streams.test/v/master.m3u8\">"), "text/html");
    serve(pages, "/jsonld.html", page("<script type=\"application/ld+json\">{\"@type\": \"VideoObject\", "
                                      "\"contentUrl\": \"http://cdn.streams.test/v/show.mpd\"}</script>"), "text/html");
    serve(pages, "/video.html", page("<title>River ferry</title>", "<video src=\"http://cdn.streams.test/t/dash\"></video>"), "text/html");
    serve(pages, "/source.html", page({}, "<video><source src=\"/hls/night-market.m3u8\"></video>"), "text/html");
    serve(pages, "/both.html", page("<meta property=\"og:video\" content=\"http://cdn.streams.test/v/clip.m3u8\">",
                                    "<video src=\"http://media.openclips.test/files/harbour-at-dawn.mp4\"></video>"), "text/html");
    serve(pages, "/live.html", page("<title>Live</title><meta property=\"og:video\" content=\"http://cdn.streams.test/r/live.m3u8\">"), "text/html");
}

void TestTodaysWeb::addAndWait(const QString &address)
{
    paste(address, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QVERIFY(addVideo().resolving()); // the playlist is read while the window goes on
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
}

// No message, and one PENDING row for the file, in the list and its file.
void TestTodaysWeb::expectOnePendingRow(const QString &fileUrl, const QString &fileName)
{
    QCOMPARE(m_messages->calls.size(), 0);
    const DownloadList &list = test::storeOf(*m_w).list();
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).fileUrl, fileUrl);
    QCOMPARE(list.at(0).fileName, fileName);
    QCOMPARE(list.at(0).statusWord(), QStringLiteral("PENDING"));
    QVERIFY(test::readFile(QDir(m_dir->path()).filePath("List")).contains(fileUrl.toLatin1()));
}

int TestTodaysWeb::getsOf(const QString &address) const
{
    const QUrl url(address);
    int gets = 0;
    for (const Request &r : m_web->server().requests())
        gets += r.method == "GET" && r.host == url.host().toLatin1() && r.path == url.path().toLatin1();
    return gets;
}

void TestTodaysWeb::todaysWebDownloads_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("fileName");
    for (const testweb::TodayVideo &v : testweb::todayVideos())
        QTest::newRow(qPrintable(v.shape)) << v.address << v.file << v.name;
}

void TestTodaysWeb::todaysWebDownloads()
{
    QFETCH(QString, address);
    QFETCH(QString, fileUrl);
    QFETCH(QString, fileName);
    paste(address, "low");
    QPushButton *add = test::ctl<QPushButton>(*m_w, "addVideoButton");
    add->click();
    QVERIFY(addVideo().resolving()); // the press has returned: the window goes on meanwhile
    add->click();                    // ignored while the address is worked out
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    expectOnePendingRow(fileUrl, fileName);
    downloadFirstRow(fileUrl, fileName);

    add->click(); // the same video again
    QTRY_COMPARE_WITH_TIMEOUT(m_messages->calls.size(), 1, 20000);
    QCOMPARE(m_messages->calls[0].text, addRefusedText());
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
}

// The names files of today's web get: in any language, never hidden,
// never one another's, and short enough to be fetched and resumed.
void TestTodaysWeb::todaysWebNames_data()
{
    QTest::addColumn<QByteArray>("disposition"); // empty: none
    QTest::addColumn<QString>("path");            // on dl.names.test
    QTest::addColumn<QString>("name");            // the row's name
    const QByteArray longName = QByteArray(300, 'a') + ".mp4";
    QTest::newRow("UTF-8 filename* first") << QByteArray("attachment; filename=\"x.mp4\"; filename*=UTF-8''%D0%9C%D0%BE%D1%80%D0%B5.mp4")
                                           << "/v/1" << QString::fromUtf8("Море.mp4");
    QTest::newRow("a second Море.mp4") << QByteArray("attachment; filename*=UTF-8''%D0%9C%D0%BE%D1%80%D0%B5.mp4")
                                       << "/v/2" << QString::fromUtf8("Море (2).mp4");
    QTest::newRow("a file already in the folder") << QByteArray() << "/v/clip.mp4" << "clip (2).mp4";
    QTest::newRow("disposition ..") << QByteArray("attachment; filename=\"..\"") << "/v/3" << "video.mp4";
    QTest::newRow("address ending in /") << QByteArray() << "/v/4/" << "video.mp4";
    QTest::newRow("named after the redirect") << QByteArray() << "/start.mp4" << "final-name.mp4";
    QTest::newRow("CON.mp4 is a name like any other") << QByteArray("attachment; filename=CON.mp4") << "/v/5"
#ifdef Q_OS_WIN
                                                      << "_CON.mp4";
#else
                                                      << "CON.mp4";
#endif
    QTest::newRow("300 characters, shortened") << "attachment; filename=" + longName << "/v/6"
                                               << QString(MaxNameBytes - 4, 'a') + ".mp4";
}

void TestTodaysWeb::todaysWebNames()
{
    QFETCH(QByteArray, disposition);
    QFETCH(QString, path);
    QFETCH(QString, name);
    test::writeFile(m_dir->path(), "clip.mp4", "older");
    m_web->server().onHost("dl.names.test", [](const Request &r) {
        return r.path == "/start.mp4" ? Response::redirect("/final-name.mp4")
                                      : Response::bytes(QByteArray(5000, 'v'), "video/mp4");
    });
    // Two videos of one name: the first is listed before.
    if (name.contains(" (2)") && !name.startsWith("clip")) {
        m_web->server().on("dl.names.test", "/v/0", [disposition](const Request &) {
            Response file = Response::bytes("first", "video/mp4");
            file.headers.append({"Content-Disposition", disposition});
            return file;
        });
        paste("http://dl.names.test/v/0", "low");
        test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().count(), 1, 20000);
    }
    if (!disposition.isEmpty())
        m_web->server().on("dl.names.test", path.toLatin1(), [disposition](const Request &) {
            Response file = Response::bytes(QByteArray(5000, 'v'), "video/mp4");
            file.headers.append({"Content-Disposition", disposition});
            return file;
        });
    const int before = test::storeOf(*m_w).list().count();
    paste("http://dl.names.test" + path, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().count(), before + 1, 20000);
    QCOMPARE(m_messages->calls.size(), 0);
    const DownloadEntry row = test::storeOf(*m_w).list().at(before);
    QCOMPARE(row.fileName, name);
    QVERIFY(row.fileName.toUtf8().size() <= MaxNameBytes);
    // The List keeps the name as UTF-8, and the file comes under it.
    QVERIFY(test::readFile(QDir(m_dir->path()).filePath("List")).contains(name.toUtf8()));
    test::ctl<QPushButton>(*m_w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().at(before).status, Status::Completed, 20000);
    QCOMPARE(QFileInfo(QDir(m_dir->path()).filePath(name)).size(), qint64(5000));
    QCOMPARE(test::readFile(QDir(m_dir->path()).filePath("clip.mp4")), QByteArray("older"));
}

// An address as people paste it: blanks around it, a line break inside,
// the scheme in capitals, or no scheme at all (https first, then http).
void TestTodaysWeb::addressesAsPasted_data()
{
    QTest::addColumn<QString>("pasted");
    const testweb::TodayVideo &v = testweb::todayVideos().first();
    const QString rest = v.address.mid(v.address.indexOf("://") + 3);
    QTest::newRow("blanks around") << "  \t" + v.address + " \n";
    QTest::newRow("a line break inside") << v.address.left(12) + "\r\n" + v.address.mid(12);
    QTest::newRow("scheme in capitals") << "HTTP://" + rest;
    QTest::newRow("no scheme") << rest;
}

void TestTodaysWeb::addressesAsPasted()
{
    QFETCH(QString, pasted);
    const testweb::TodayVideo &v = testweb::todayVideos().first();
    test::ctl<QLineEdit>(*m_w, "addressBox")->setText(pasted);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    QCOMPARE(m_messages->calls.size(), 0);
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    QCOMPARE(test::storeOf(*m_w).list().at(0).fileUrl, v.file);
    for (const Request &r : m_web->server().requests())
        QVERIFY2(!r.target.contains("%0A") && !r.target.contains("%0D"), r.target.constData());
}

void TestTodaysWeb::addressesInTurn()
{
    const QList<testweb::TodayVideo> &today = testweb::todayVideos();
    addVideos(*m_w, {today[0].address, today[1].address, testweb::sampleVideo("Videkta").page});
    const DownloadList &list = test::storeOf(*m_w).list();
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 3, 20000);
    QCOMPARE(list.at(0).fileUrl, today[0].file);
    QCOMPARE(list.at(1).fileUrl, today[1].file);
    QCOMPARE(list.at(2).fileUrl, testweb::sampleVideo("Videkta").file);
    QCOMPARE(m_messages->calls.size(), 0);
}

// A stream typed or named by a page becomes a row with its playlist's
// address, named after the page's title, else the playlist, as .mp4.
void TestTodaysWeb::streamsListed_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("checked"); // an address read just that many times
    QTest::addColumn<int>("gets");
    const QString cdn = "http://cdn.streams.test", pages = "http://www.streams.test";
    const auto typed = [&](const char *name, const QString &url, const QString &fileName) {
        QTest::newRow(name) << url << url << fileName << url << 1;
    };
    typed("typed .m3u8", cdn + "/v/clip.m3u8", "clip.mp4");
    typed("typed .mpd", cdn + "/v/show.mpd", "show.mp4");
    typed("no extension, application/vnd.apple.mpegurl", cdn + "/t/apple", "apple.mp4");
    typed("no extension, application/x-mpegURL", cdn + "/t/x", "x.mp4");
    typed("no extension, audio/mpegurl", cdn + "/t/audio", "audio.mp4");
    typed("no extension, application/dash+xml", cdn + "/t/dash", "dash.mp4");
    QTest::newRow("HLS master: its best variant read") << cdn + "/v/master.m3u8" << cdn + "/v/master.m3u8" << "master.mp4"
                                                       << cdn + "/v/high/vod.m3u8" << 1;
    QTest::newRow("og:video, named by og:title") << pages + "/og.html" << cdn + "/v/clip.m3u8" << "Harbour & sea.mp4"
                                                 << cdn + "/v/clip.m3u8" << 1;
    QTest::newRow("twitter:player:stream, named by <title>") << pages + "/twitter.html" << cdn + "/v/master.m3u8"
                                                             << "Snow on the pass.mp4" << cdn + "/v/low/vod.m3u8" << 0;
    QTest::newRow("JSON-LD contentUrl, no title") << pages + "/jsonld.html" << cdn + "/v/show.mpd" << "show.mp4"
                                                  << cdn + "/v/show.mpd" << 1;
    QTest::newRow("<video src>, a stream by its type") << pages + "/video.html" << cdn + "/t/dash" << "River ferry.mp4"
                                                       << cdn + "/t/dash" << 1;
    QTest::newRow("<source src>, relative") << pages + "/source.html" << pages + "/hls/night-market.m3u8"
                                            << "night-market.mp4" << pages + "/hls/night-market.m3u8" << 1;
    QTest::newRow("a file and a stream: the file") << pages + "/both.html"
                                                   << "http://media.openclips.test/files/harbour-at-dawn.mp4"
                                                   << "harbour-at-dawn.mp4" << cdn + "/v/clip.m3u8" << 0;
    QTest::newRow("name taken: a free one") << cdn + "/v/clip.m3u8?taken" << cdn + "/v/clip.m3u8?taken" << "clip (2).mp4"
                                            << cdn + "/v/clip.m3u8" << 1;
}

void TestTodaysWeb::streamsListed()
{
    QFETCH(QString, address);
    QFETCH(QString, fileUrl);
    QFETCH(QString, fileName);
    QFETCH(QString, checked);
    QFETCH(int, gets);
    routeStreams();
    if (address.endsWith("?taken"))
        test::writeFile(m_dir->path(), "clip.mp4", "older");
    addAndWait(address);
    expectOnePendingRow(fileUrl, fileName);
    QCOMPARE(getsOf(checked), gets);
}

// A stream that cannot be saved adds no row: a message says why.
void TestTodaysWeb::streamsRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("message");
    const QString cdn = "http://cdn.streams.test";
    QTest::newRow("live HLS") << cdn + "/r/live.m3u8" << live;
    QTest::newRow("HLS master whose best variant is live") << cdn + "/r/master-live.m3u8" << live;
    QTest::newRow("a page naming a live stream") << "http://www.streams.test/live.html" << live;
    QTest::newRow("dynamic MPD") << cdn + "/r/dynamic.mpd" << live;
    QTest::newRow("SAMPLE-AES") << cdn + "/r/sample-aes.m3u8" << "This video is protected (SAMPLE-AES) and cannot be saved.";
    QTest::newRow("ContentProtection") << cdn + "/r/protected.mpd" << "This video is protected (DRM) and cannot be saved.";
    QTest::newRow("playlist over 8 MiB") << cdn + "/r/huge.m3u8" << "The playlist is larger than 8 MB.";
    QTest::newRow("more than 50,000 pieces") << cdn + "/r/many.m3u8" << "The video has more than 50000 pieces.";
    QTest::newRow("a piece over 1 GiB") << cdn + "/r/big-piece.m3u8" << "A piece of this video is larger than 1 GB.";
    QTest::newRow("no piece") << cdn + "/r/empty.m3u8" << "The playlist names no piece of video.";
    QTest::newRow("no playlist at all") << cdn + "/r/error-page.m3u8" << "This is not an HLS playlist.";
}

void TestTodaysWeb::streamsRefused()
{
    QFETCH(QString, address);
    QFETCH(QString, message);
    routeStreams();
    addAndWait(address);
    QCOMPARE(m_messages->calls.size(), 1);
    QCOMPARE(m_messages->calls[0].text, message);
    QCOMPARE(test::storeOf(*m_w).list().count(), 0);
}

QTEST_MAIN(TestTodaysWeb)
#include "tst_todaysweb.moc"
