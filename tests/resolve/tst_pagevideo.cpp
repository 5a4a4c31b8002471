// Reading the video out of today's pages, and telling a file by the head of
// its answer: pure functions over bytes.
#include "download/filenames.h"
#include "resolve/directfile.h"
#include "resolve/pagetext.h"
#include "resolve/pagevideo.h"
#include "resolve/streamcheck.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::net;
using resolve::PageFinding;

Q_DECLARE_METATYPE(resolve::PageFinding)
Q_DECLARE_METATYPE(resolve::direct::HeadKind)

class TestPageVideo : public QObject
{
    Q_OBJECT
private slots:
    void readsPage_data();
    void readsPage();
    void pagesAsServed_data();
    void pagesAsServed();
    void headOfAnswer_data();
    void headOfAnswer();
    void aboutTheVideo_data();
    void aboutTheVideo();
    void streamsAndTitle_data();
    void streamsAndTitle();
};

void TestPageVideo::readsPage_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("pageUrl");
    QTest::addColumn<PageFinding>("finding");
    QTest::addColumn<QString>("fileUrl");
    const QString at = "http://site.test/watch/clip.html";
    const PageFinding file = PageFinding::File;
    const auto row = [&](const char *name, const QByteArray &page, PageFinding f, const QString &url, const QString &pageUrl = {}) {
        QTest::newRow(name) << page << (pageUrl.isEmpty() ? at : pageUrl) << f << url;
    };
    row("og:video:secure_url", "<meta property=\"og:video:secure_url\" content=\"https://cdn.test/a.mp4\">", file, "https://cdn.test/a.mp4");
    row("og:video:url, content first", "<meta content=\"http://cdn.test/b.mp4\" property=\"og:video:url\" />", file, "http://cdn.test/b.mp4");
    row("og:video as name=", "<meta name=\"og:video\" content=\"/v/c.webm\">", file, "http://site.test/v/c.webm");
    row("twitter:player:stream", "<meta name=\"twitter:player:stream\" content=\"d.mp4\">", file, "http://site.test/watch/d.mp4");
    row("JSON-LD VideoObject", "<script type=\"application/ld+json\">{\"@type\":\"VideoObject\",\"contentUrl\":\"http:\\/\\/cdn.test\\/e.mp4\"}</script>", file, "http://cdn.test/e.mp4");
    row("JSON-LD in @graph, type list", "<script type='application/ld+json; charset=utf-8'>{\"@graph\":[{\"@type\":\"WebPage\"},{\"@type\":[\"VideoObject\"],\"contentUrl\":\"f.mp4\"}]}</script>", file, "http://site.test/watch/f.mp4");
    row("<video src>, relative", "<p><video controls src=\"g.mp4\"></video>", file, "http://site.test/watch/g.mp4");
    row("<source> child, from the root", "<video>\n<source src=\"/h.webm\" type=\"video/webm\">\n</video>", file, "http://site.test/h.webm");
    row("empty video src: its source", "<video src=\"\"><source src=\"i.mp4\"></video>", file, "http://site.test/watch/i.mp4");
    row("source outside video is not read", "<picture><source src=\"pic.mp4\"></picture>", PageFinding::Nothing, "");
    row("protocol-relative on https", "<video src=\"//cdn.test/j.mp4\">", file, "https://cdn.test/j.mp4", "https://site.test/p");
    row("<base href> relative to the page", "<head><base href=\"/media/\"></head><video src=\"k.mp4\">", file, "http://site.test/media/k.mp4");
    row("<base href> on another host", "<video src=\"l.mp4\"><base href=\"http://cdn.test/x/\">", file, "http://cdn.test/x/l.mp4");
    row("entities in attributes", "<meta property=\"og:video\" content=\"/m.mp4?a=1&amp;b=2&#38;c=&#x33;\">", file, "http://site.test/m.mp4?a=1&b=2&c=3");
    row("single quotes", "<video src='n.mp4'>", file, "http://site.test/watch/n.mp4");
    row("no quotes", "<video src=o.mp4 controls>", file, "http://site.test/watch/o.mp4");
    row("upper case, newlines in the tag", "<VIDEO\n  Controls\n  SRC = \"P.MP4\"\n>", file, "http://site.test/watch/P.MP4");
    row("blanks and line breaks around the address", "<video src=\"\n  q.mp4\n\">", file, "http://site.test/watch/q.mp4");
    row("fragment dropped", "<video src=\"r.mp4#t=10\">", file, "http://site.test/watch/r.mp4");
    row("decoy in a script", "<script>document.write('<video src=\"decoy.mp4\">')</script><video src=\"s.mp4\">", file, "http://site.test/watch/s.mp4");
    row("decoy in a comment", "<!-- <video src=\"decoy.mp4\"> --><p>text</p>", PageFinding::Nothing, "");
    row("decoy in an unclosed script", "<script>var a = '<video src=\"decoy.mp4\">';", PageFinding::Nothing, "");
    row("order: secure_url over earlier og:video", "<video src=\"v.mp4\"><meta property=\"og:video\" content=\"og.mp4\"><meta property=\"og:video:secure_url\" content=\"sec.mp4\">", file, "http://site.test/watch/sec.mp4");
    row("order: twitter over JSON-LD over video", "<video src=\"v.mp4\"></video><script type=\"application/ld+json\">{\"@type\":\"VideoObject\",\"contentUrl\":\"ld.mp4\"}</script><meta name=\"twitter:player:stream\" content=\"tw.mp4\">", file, "http://site.test/watch/tw.mp4");
    row("order: first video element", "<video src=\"first.mp4\"></video><video src=\"second.mp4\"></video>", file, "http://site.test/watch/first.mp4");
    row("playlist only: streamed", "<meta property=\"og:video\" content=\"/live.m3u8\"><video><source src=\"x.mpd\"></video>", PageFinding::Streamed, "");
    row("blob: streamed", "<video src=\"blob:https://site.test/3f2a\"></video>", PageFinding::Streamed, "");
    row("data: streamed", "<video src=\"data:video/mp4;base64,AAAA\"></video>", PageFinding::Streamed, "");
    row("playlist first, file later: the file", "<meta property=\"og:video\" content=\"/live.m3u8\"><video src=\"u.mp4\">", file, "http://site.test/watch/u.mp4");
    row("not a web address", "<video src=\"javascript:play()\"></video><video src=\"ftp://f.test/a.mp4\">", PageFinding::Nothing, "");
    row("nothing", "<html><body><img src=\"a.jpg\"><a href=\"b.mp4\">b</a></body></html>", PageFinding::Nothing, "");
    const QByteArray filler(MaxPageBytes - 64, ' ');
    row("video inside the first 8 MiB", filler + "<video src=\"w.mp4\">", file, "http://site.test/watch/w.mp4");
    row("video after the first 8 MiB", filler + QByteArray(64, ' ') + "<video src=\"w.mp4\">", PageFinding::Nothing, "");
}

void TestPageVideo::readsPage()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, pageUrl);
    QFETCH(PageFinding, finding);
    QFETCH(QString, fileUrl);
    const resolve::PageVideo found = resolve::readPageVideo(page, QUrl(pageUrl));
    QCOMPARE(found.finding, finding);
    QCOMPARE(found.fileUrl, fileUrl);
}

// Pages in the encoding they are served in: the raw address in them is
// read as the page means it.
void TestPageVideo::pagesAsServed_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("fileUrl");
    const QString cyrillic = QString::fromUtf8("http://site.test/%D0%BB%D0%B5%D1%82%D0%BE.mp4");
    const QByteArray cp1251 = "<video src=\"\xeb\xe5\xf2\xee.mp4\">"; // лето.mp4 in windows-1251
    QTest::newRow("windows-1251 by Content-Type") << cp1251 << QByteArray("text/html; charset=windows-1251") << cyrillic;
    QTest::newRow("windows-1251 by <meta charset>")
        << "<meta charset=\"windows-1251\">" + cp1251 << QByteArray("text/html") << cyrillic;
    QTest::newRow("by http-equiv") << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-1251\">"
                                          + cp1251 << QByteArray() << cyrillic;
    QTest::newRow("Shift_JIS") << QByteArray("<video src=\"\x93\xae\x89\xe6.mp4\">") << QByteArray("text/html;charset=Shift_JIS")
                               << QString("http://site.test/%E5%8B%95%E7%94%BB.mp4");
    const QString page = "<video src=\"" + QString::fromUtf8("лето") + ".mp4\">";
    QByteArray utf16(reinterpret_cast<const char *>(page.utf16()), page.size() * 2);
    QTest::newRow("UTF-16 with its mark") << "\xff\xfe" + utf16 << QByteArray("text/html") << cyrillic;
    QTest::newRow("UTF-8 with its mark") << "\xef\xbb\xbf" + page.toUtf8() << QByteArray() << cyrillic;
    QTest::newRow("a charset nobody knows: as it is") << page.toUtf8() << QByteArray("text/html; charset=x-unheard-of") << cyrillic;
    QTest::newRow("<template> is not the page") << QByteArray("<template><video src=\"t.mp4\"></template><video src=\"real.mp4\">")
                                                << QByteArray() << QString("http://site.test/real.mp4");
}

void TestPageVideo::pagesAsServed()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, fileUrl);
    const resolve::PageVideo found = resolve::readPageVideo(resolve::pageAsUtf8(page, contentType), QUrl("http://site.test/p"));
    QCOMPARE(found.finding, PageFinding::File);
    QCOMPARE(found.fileUrl, fileUrl);
}

void TestPageVideo::headOfAnswer_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("disposition");
    QTest::addColumn<bool>("videoExpected");
    QTest::addColumn<resolve::direct::HeadKind>("kind");
    QTest::addColumn<QString>("name");
    using K = resolve::direct::HeadKind;
    QTest::newRow("extension, query left out, escapes decoded") << "http://h.test/f/my%20clip.MP4?t=1" << QByteArray() << QByteArray() << false << K::MediaFile << "my clip.MP4";
    QTest::newRow("no extension: the type's added") << "http://h.test/v/8812" << QByteArray("video/webm; codecs=vp9") << QByteArray() << false << K::MediaFile << "8812.webm";
    QTest::newRow("download named in the head") << "http://h.test/get?id=1" << QByteArray("application/octet-stream") << QByteArray("attachment; filename=\"Lake; 2.mkv\"") << false << K::MediaFile << "Lake; 2.mkv";
    QTest::newRow("filename* preferred, folder dropped") << "http://h.test/get" << QByteArray("application/octet-stream") << QByteArray("attachment; filename=x.bin; filename*=UTF-8''..%2Fd%C3%A9j%C3%A0.mp4") << false << K::MediaFile << QString::fromUtf8("déjà.mp4");
    QTest::newRow("any language is kept") << "http://h.test/get" << QByteArray("video/mp4") << QByteArray("attachment; filename*=utf-8''%D0%BA%D0%B8%D0%BD%D0%BE.mp4") << false << K::MediaFile << QString::fromUtf8("кино.mp4");
#ifdef Q_OS_WIN
    QTest::newRow("refused characters become _") << "http://h.test/get" << QByteArray("video/mp4") << QByteArray("inline; filename=\"a:b*c?.mp4\"") << false << K::MediaFile << "a_b_c_.mp4";
#else
    QTest::newRow("what the disk takes is kept") << "http://h.test/get" << QByteArray("video/mp4") << QByteArray("inline; filename=\"a:b*c?.mp4\"") << false << K::MediaFile << "a:b*c?.mp4";
#endif
    QTest::newRow("control characters become _") << "http://h.test/get" << QByteArray("video/mp4") << QByteArray("inline; filename=\"a\tb.mp4\"") << false << K::MediaFile << "a_b.mp4";
    QTest::newRow("no leading dots") << "http://h.test/get" << QByteArray("video/mp4") << QByteArray("inline; filename=\"...x.mp4\"") << false << K::MediaFile << "x.mp4";
    QTest::newRow("octet-stream, no media name: not a file") << "http://h.test/get" << QByteArray("application/octet-stream") << QByteArray() << false << K::Other << "get";
    QTest::newRow("...unless a page named it") << "http://h.test/get" << QByteArray("application/octet-stream") << QByteArray() << true << K::MediaFile << "get";
    QTest::newRow("a page") << "http://h.test/watch.mp4" << QByteArray("text/html; charset=utf-8") << QByteArray() << false << K::Page << "watch.mp4";
    QTest::newRow("a playlist by type") << "http://h.test/live" << QByteArray("application/vnd.apple.mpegurl") << QByteArray() << false << K::Streamed << "live";
    QTest::newRow("a playlist by extension") << "http://h.test/live.m3u8" << QByteArray() << QByteArray() << false << K::Streamed << "live.m3u8";
}

void TestPageVideo::headOfAnswer()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, disposition);
    QFETCH(bool, videoExpected);
    QFETCH(resolve::direct::HeadKind, kind);
    QFETCH(QString, name);
    const resolve::direct::Head head{type, disposition};
    QCOMPARE(resolve::direct::classify(QUrl(url), head, videoExpected), kind);
    QCOMPARE(resolve::direct::fileNameFor(QUrl(url), head), name);
}

// What a page says of its video for the file's own tags: its description
// and picture, the secure picture first, addresses made absolute.
void TestPageVideo::aboutTheVideo_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("cover");
    const QByteArray stream = "<meta property=\"og:video\" content=\"/v/a.m3u8\">";
    QTest::newRow("og:description and og:image")
        << "<meta property=\"og:description\" content=\"A walk &amp; a talk\"><meta property=\"og:image\" "
           "content=\"/img/c.jpg\">" + stream
        << "A walk & a talk" << "http://site.test/img/c.jpg";
    QTest::newRow("og:description over the description meta, the secure picture first")
        << "<meta name=\"description\" content=\"plain\"><meta property=\"og:description\" content=\"open\">"
           "<meta property=\"og:image\" content=\"http://a.test/1.png\"><meta property=\"og:image:secure_url\" "
           "content=\"https://a.test/2.png\">" + stream
        << "open" << "https://a.test/2.png";
    QTest::newRow("the description meta alone") << "<meta name=\"description\" content=\" plain \">" + stream << "plain"
                                                << "";
    QTest::newRow("a picture that is no web address") << "<meta property=\"og:image\" content=\"data:image/png;base64,AA\">"
                                                         + stream << "" << "";
    QTest::newRow("a description of 9000 characters, shortened")
        << "<meta property=\"og:description\" content=\"" + QByteArray(9000, 'd') + "\">" + stream
        << QString(resolve::MaxDescriptionChars, 'd') << "";
}

void TestPageVideo::aboutTheVideo()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, description);
    QFETCH(QString, cover);
    const resolve::PageVideos found = resolve::readPageVideos(page, QUrl("http://site.test/watch/p"));
    QCOMPARE(found.streams, QStringList{"http://site.test/v/a.m3u8"});
    QCOMPARE(found.description, description);
    QCOMPARE(found.cover, cover);
}

// What the probe takes from a page for a stream: its playlists in order,
// whether it also names what cannot be saved, and the name the row gets.
void TestPageVideo::streamsAndTitle_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("streams");
    QTest::addColumn<bool>("unsaveable");
    QTest::addColumn<QString>("name");
    const QString hls = "http://site.test/v/a.m3u8", dash = "http://cdn.test/b.mpd";
    const QByteArray both = "<meta property=\"og:video\" content=\"/v/a.m3u8\"><video src=\"http://cdn.test/b.mpd\">"
                            "<source src=\"/v/a.m3u8#t=3\"></video>";
    QTest::newRow("og:title over <title>") << "<title>Page</title><meta property=\"og:title\" content=\"Clip &amp; co\">" + both
                                          << QStringList{hls, dash} << false << "Clip & co.mp4";
    QTest::newRow("<title>, blanks simplified") << "<title>\n  A   walk\t</title>" + both << QStringList{hls, dash} << false
                                                << "A walk.mp4";
    QTest::newRow("no title: the playlist's name") << both << QStringList{hls, dash} << false << "a.mp4";
    QTest::newRow("a title of 5000 characters, shortened") << "<title>" + QByteArray(5000, 't') + "</title>" + both
                                                           << QStringList{hls, dash} << false
                                                           << QString(MaxNameBytes - 4, 't') + ".mp4";
    QTest::newRow("blob: only") << QByteArray("<video src=\"blob:http://site.test/9\">") << QStringList{} << true << "p.mp4";
}

void TestPageVideo::streamsAndTitle()
{
    QFETCH(QByteArray, page);
    QFETCH(QStringList, streams);
    QFETCH(bool, unsaveable);
    QFETCH(QString, name);
    const resolve::PageVideos found = resolve::readPageVideos(page, QUrl("http://site.test/watch/p"));
    QCOMPARE(found.streams, streams);
    QCOMPARE(found.unsaveable, unsaveable);
    QCOMPARE(found.files, QStringList());
    QVERIFY(found.title.size() <= resolve::MaxTitleChars);
    const QUrl playlist(streams.value(0, "http://site.test/watch/p"));
    QCOMPARE(resolve::streamFileName(found.title, playlist), name);
}

QTEST_APPLESS_MAIN(TestPageVideo)
#include "tst_pagevideo.moc"
