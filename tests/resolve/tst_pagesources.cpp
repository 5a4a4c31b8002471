// A video that comes in several qualities, as the resolve step reads it:
// a page's <source>s that tell their sizes (read from the page's bytes,
// then found over loopback against the simulated web, the file the
// settings choose tried first), and an HLS master's variants, sound and
// subtitle languages, so a window can ask without fetching anything more.
#include "resolve/offer.h"
#include "resolve/pagevideo.h"
#include "resolve/streamcheck.h"
#include "resolve/videoprobe.h"
#include "support/testenv.h"
#include "ui/mainwindow/qualitytexts.h"
#include <QtTest>
#include <optional>

using namespace vidrona;
using namespace vidrona::resolve;
using namespace vidrona::ui::mainwindow;

class TestPageSources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void reading_data();
    void reading();
    void probeChooses_data();
    void probeChooses();
    void streamOffers_data();
    void streamOffers();
    void dashOffers_data();
    void dashOffers();

private:
    ProbeResult probe(const QString &address, const QByteArray &quality);
    std::unique_ptr<test::LocalWeb> m_web;
};

void TestPageSources::initTestCase()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
}

// What each way of telling a size reads as; a lone file, or files that tell
// nothing, offer no choice.
void TestPageSources::reading_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<int>>("heights");
    QTest::addColumn<QStringList>("files");
    const QByteArray a = "<source src=\"a.mp4\" ", b = "<source src=\"b.mp4\" ";
    const QStringList ab{"http://p.test/v/a.mp4", "http://p.test/v/b.mp4"};
    const auto video = [](const QByteArray &sources) { return "<video controls>" + sources + "</video>"; };
    QTest::newRow("size") << video(a + "size=\"1080\">" + b + "size=\"720\">") << QList<int>{1080, 720} << ab;
    QTest::newRow("res and label") << video(a + "res=\"480\" label=\"SD\">" + b + "res=\"1080\" label=\"HD\">")
                                   << QList<int>{480, 1080} << ab;
    QTest::newRow("labels alone") << video(a + "label=\"HD 720p60\">" + b + "data-quality=\"1920x1080\">")
                                  << QList<int>{720, 1080} << ab;
    QTest::newRow("4K title") << video(a + "title=\"4K\">" + b + "title=\"360p\">") << QList<int>{2160, 360} << ab;
    QTest::newRow("one file tells, one does not") << video(a + "size=\"720\">" + b + ">") << QList<int>{}
                                                  << QStringList{};
    QTest::newRow("a lone file") << video(a + "size=\"720\">") << QList<int>{} << QStringList{};
    QTest::newRow("the same file twice") << video(a + "size=\"720\">" + a + "size=\"480\">") << QList<int>{}
                                         << QStringList{};
    QTest::newRow("a playlist is no file") << video(a + "size=\"720\"><source src=\"c.m3u8\" size=\"480\">")
                                           << QList<int>{} << QStringList{};
    QTest::newRow("absurd size") << video(a + "size=\"99999\">" + b + "size=\"720\">") << QList<int>{}
                                 << QStringList{};
    // Links to one video in several sizes, by their names or their titles.
    QTest::newRow("links") << QByteArray("<a href=\"talk_720p.mp4\">small</a> <a href=\"talk_1080p.mp4\">large</a>")
                           << QList<int>{720, 1080}
                           << QStringList{"http://p.test/v/talk_720p.mp4", "http://p.test/v/talk_1080p.mp4"};
    QTest::newRow("links with titles") << QByteArray("<a href=\"/d/1.webm\" title=\"480p\">a</a>"
                                                     "<a href=\"/d/2.webm\" title=\"1280x720\">b</a>")
                                       << QList<int>{480, 720}
                                       << QStringList{"http://p.test/d/1.webm", "http://p.test/d/2.webm"};
    QTest::newRow("a lone link") << QByteArray("<a href=\"talk_720p.mp4\">get</a>") << QList<int>{} << QStringList{};
    QTest::newRow("links of one size") << QByteArray("<a href=\"a_720p.mp4\">a</a><a href=\"b_720p.mp4\">b</a>")
                                       << QList<int>{} << QStringList{};
    QTest::newRow("links to pages") << QByteArray("<a href=\"720p.html\">a</a><a href=\"1080p.html\">b</a>")
                                    << QList<int>{} << QStringList{};
    QTest::newRow("a video's sizes before links")
        << video(a + "size=\"1080\">" + b + "size=\"720\">") + "<a href=\"x_480p.mp4\">a</a><a href=\"y_360p.mp4\">b</a>"
        << QList<int>{1080, 720} << ab;
}

void TestPageSources::reading()
{
    QFETCH(QByteArray, body);
    QFETCH(QList<int>, heights);
    QFETCH(QStringList, files);
    const QByteArray page = "<html><title>Talk</title>" + body + "</html>";
    const PageVideos found = readPageVideos(page, QUrl("http://p.test/v/page.html"));
    QList<int> gotHeights;
    QStringList gotFiles;
    for (const PageSource &s : found.sources) {
        gotHeights << s.quality.height;
        gotFiles << s.fileUrl;
        QVERIFY(s.quality.video);
    }
    QCOMPARE(gotHeights, heights);
    QCOMPARE(gotFiles, files);
    // Every file offered is one the page reading would try.
    for (const QString &f : files)
        QVERIFY(found.files.contains(f));
}

ProbeResult TestPageSources::probe(const QString &address, const QByteArray &quality)
{
    VideoProbe probe;
    probe.setQuality(quality);
    // The first request waits while ffmpeg makes the site's media.
    probe.setStallTimeout(120000);
    probe.setTotalTimeout(240000);
    std::optional<ProbeResult> got;
    connect(&probe, &VideoProbe::finished, this, [&got](const ProbeResult &r) { got = r; });
    if (!probe.start(address))
        return {};
    // The media are made by ffmpeg on the first request.
    if (!QTest::qWaitFor([&got] { return got.has_value(); }, 120000))
        return {};
    return *got;
}

// The settings' choice picks among the page's files by the same rule as
// among a stream's variants; only that file is asked for.
void TestPageSources::probeChooses_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    const QString sized = "http://www.ladder.test/talk.html", labelled = "http://www.ladder.test/talk-labels.html";
    QTest::newRow("best") << sized << QByteArray("best") << "talk-1080.mp4" << "talk-1080.mp4";
    QTest::newRow("up to 1440") << sized << QByteArray("1440") << "talk-1080.mp4" << "Talk (1080p).mp4";
    QTest::newRow("up to 720") << sized << QByteArray("720") << "talk-720.mp4" << "Talk (720p).mp4";
    QTest::newRow("up to 480") << labelled << QByteArray("480") << "talk-480.mp4" << "Talk (480p).mp4";
    QTest::newRow("ask: the best, all offered") << labelled << QByteArray("ask") << "talk-1080.mp4" << "talk-1080.mp4";
}

void TestPageSources::probeChooses()
{
    QFETCH(QString, page);
    QFETCH(QByteArray, quality);
    QFETCH(QString, file);
    QFETCH(QString, name);
    m_web->server().clearRequests();
    const ProbeResult r = probe(page, quality);
    QCOMPARE(int(r.kind), int(ProbeResult::File));
    QCOMPARE(r.fileUrl, "http://media.ladder.test/" + file);
    QCOMPARE(r.fileName, name);
    QCOMPARE(r.offer.qualities.size(), 4);
    QCOMPARE(r.offer.files.size(), 4);
    QCOMPARE(r.offer.qualities.at(1).height, 720);
    QCOMPARE(r.offer.files.at(1), "http://media.ladder.test/talk-720.mp4");
    QCOMPARE(r.offer.name, "Talk.mp4");
    int asked = 0;
    for (const testweb::Request &req : m_web->server().requests())
        asked += req.host == "media.ladder.test";
    QCOMPARE(asked, 1); // the chosen file's head, no other
}

// A master offers its four pictures, then its sound rendition, and its two
// subtitle languages; the sizes are about bitrate × the length its chosen
// variant's playlist tells.
void TestPageSources::streamOffers_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("line");
    QTest::newRow("1080") << 0 << "1920×1080, 4 fps, avc1.640028,mp4a.40.2, 4.3 Mb/s, about 1.0 MB";
    QTest::newRow("360") << 3 << "640×360, 4 fps, avc1.640028,mp4a.40.2, 1.4 Mb/s, about 351.6 kB";
    QTest::newRow("sound") << 4 << "sound only";
}

void TestPageSources::streamOffers()
{
    QFETCH(int, index);
    QFETCH(QString, line);
    const ProbeResult r = probe("http://media.ladder.test/ladder/master.m3u8", "best");
    QCOMPARE(int(r.kind), int(ProbeResult::Stream));
    QCOMPARE(r.offer.qualities.size(), 5);
    QVERIFY(r.offer.files.isEmpty());
    QCOMPARE(r.offer.subtitles, (QStringList{"en", "de"}));
    QCOMPARE(r.offer.qualities.at(4).language, "en");
    QVERIFY(r.offer.worthAsking());
    QCOMPARE(describeQuality(r.offer.qualities.at(index)), line);
}

// A manifest offers its pictures and sounds as its reader keeps them, and
// the languages of its text sets however they say they hold text.
void TestPageSources::dashOffers_data()
{
    QTest::addColumn<QByteArray>("textSets");
    QTest::addColumn<QStringList>("languages");
    const QByteArray vtt = "<AdaptationSet contentType=\"text\" mimeType=\"text/vtt\" lang=\"en\">"
                           "<Representation id=\"t1\" bandwidth=\"100\"><BaseURL>en.vtt</BaseURL></Representation>"
                           "</AdaptationSet>";
    const QByteArray stpp = "<AdaptationSet mimeType=\"application/mp4\" lang=\"fr\">"
                            "<Representation id=\"t2\" codecs=\"stpp\" bandwidth=\"100\"><BaseURL>fr.mp4</BaseURL>"
                            "</Representation></AdaptationSet>";
    QTest::newRow("none") << QByteArray() << QStringList{};
    QTest::newRow("WebVTT") << vtt << QStringList{"en"};
    QTest::newRow("WebVTT and TTML in MP4") << vtt + stpp << QStringList{"en", "fr"};
    QTest::newRow("the same language twice") << vtt + vtt << QStringList{"en"};
}

void TestPageSources::dashOffers()
{
    QFETCH(QByteArray, textSets);
    QFETCH(QStringList, languages);
    const QByteArray text =
        "<MPD mediaPresentationDuration=\"PT10S\"><Period>"
        "<AdaptationSet mimeType=\"video/mp4\" codecs=\"avc1.640028\">"
        "<SegmentTemplate media=\"$RepresentationID$-$Number$.m4s\" duration=\"2\" timescale=\"1\"/>"
        "<Representation id=\"v1\" bandwidth=\"4000000\" width=\"1920\" height=\"1080\"/>"
        "<Representation id=\"v2\" bandwidth=\"1000000\" width=\"640\" height=\"360\"/></AdaptationSet>"
        "<AdaptationSet mimeType=\"audio/mp4\" lang=\"de\" codecs=\"mp4a.40.2\">"
        "<SegmentTemplate media=\"$RepresentationID$-$Number$.m4s\" duration=\"2\" timescale=\"1\"/>"
        "<Representation id=\"a1\" bandwidth=\"96000\"/></AdaptationSet>" + textSets + "</Period></MPD>";
    const StreamCheck check = checkStream(text, QUrl("http://media.test/talk/index.mpd"));
    QCOMPARE(int(check.verdict), int(StreamCheck::Accepted));
    QList<int> heights;
    for (const download::streams::Quality &q : check.offer.qualities)
        heights << q.height;
    QCOMPARE(heights, (QList<int>{1080, 360, 0}));
    QVERIFY(!check.offer.qualities.at(2).video);
    QCOMPARE(check.offer.qualities.at(2).language, "de");
    QCOMPARE(check.offer.subtitles, languages);
    QCOMPARE(check.offer.worthAsking(), true);
}

QTEST_MAIN(TestPageSources)
#include "tst_pagesources.moc"
