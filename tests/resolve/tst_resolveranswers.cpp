// Each resolver's answer and refusal, asked through the resolver table
// against the simulated web over real loopback sockets: the rows an
// address becomes, what opens instead, the words of each refusal, and
// that a cancel ends every kind of fetch with nothing more said.
#include "ui/mainwindow/refusaltexts.h"
#include "resolve/resolvertable.h"
#include "sites/samples.h"
#include "support/testenv.h"
#include <QSignalSpy>
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::resolve;
using testweb::Request;
using testweb::Response;

namespace {

const QString checkLink = "\r\nPlease, check the link and try again!";
const QString noVideo = "No video was found at this address." + checkLink;
const QString live = "This is a live stream: it has no end to save.";
const QString none = "(none)"; // no file name: the row is named after its address

QByteArray playlist(bool ended)
{
    return QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4.0,\np0.ts\n#EXTINF:4.0,\np1.ts\n")
           + (ended ? "#EXT-X-ENDLIST\n" : "");
}

// What the simulated sites do not serve by themselves.
void routeExtras(testweb::Server &s)
{
    const QByteArray hls = "application/vnd.apple.mpegurl";
    s.on("cdn.streams.test", "/v/clip.m3u8", [hls](const Request &) { return Response::bytes(playlist(true), hls); });
    s.on("cdn.streams.test", "/r/live.m3u8", [hls](const Request &) { return Response::bytes(playlist(false), hls); });
    s.on("www.streams.test", "/og.html", [](const Request &) {
        return Response::html("<html><head><meta property=\"og:title\" content=\"Harbour &amp; sea\">"
                              "<meta property=\"og:video\" content=\"http://cdn.streams.test/v/clip.m3u8\"></head></html>");
    });
    s.on("tvali.ge", "/t/dropped", [](const Request &) {
        Response r = Response::html(QByteArray(3000, ' ') + "xmlFile=http://tvali.ge/a.xml\"");
        r.dropAfter = 100;
        return r;
    });
}

// Pages that never come: their heads arrive, then nothing.
void routeStalls(testweb::Server &s)
{
    for (const QByteArray host : {"tvali.ge", "www.openclips.test", "links.vidrona-resolver.net"})
        s.on(host, host.startsWith("links") ? "/" : "/t/never", [](const Request &) {
            Response r = Response::html("xmlFile=");
            r.stallAfterHeaders = true;
            return r;
        });
}

} // namespace

class TestResolverAnswers : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_web.reset(); }
    void answers_data();
    void answers();
    void cancelEndsEveryFetch_data();
    void cancelEndsEveryFetch();

private:
    std::unique_ptr<test::LocalWeb> m_web;
};

void TestResolverAnswers::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
}

void TestResolverAnswers::answers_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("resolver");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("why");
    const int low = int(Quality::Low), high = int(Quality::High), avi = int(Quality::Avi);
    const auto row = [&](const char *name, const QString &address, int quality, const QString &resolver, int kind,
                         const QString &file, const QString &fileName) {
        QTest::newRow(name) << address << quality << resolver << int(Answer::Found) << kind << file << fileName << QString();
    };
    const auto refused = [&](const char *name, const QString &address, int quality, const QString &resolver,
                             const QString &why) {
        QTest::newRow(name) << address << quality << resolver << int(Answer::Refused) << 0 << QString() << none << why;
    };
    for (const char *site : {"Metacafe", "Videkta", "Tvali", "AllVideos", "Break"}) {
        const testweb::SampleVideo &v = testweb::sampleVideo(site);
        row(site, v.page, low, site, Found::Row, v.file, none);
    }
    const QString breakPage = testweb::sampleVideo("Break").page;
    row("Break, high: the wmv", breakPage, high, "Break", Found::Row,
        testweb::sampleVideo("Break").file.chopped(3) + "wmv", none);
    const testweb::SampleVideo &dm = testweb::sampleVideo("DailyMotion");
    row("DailyMotion opens in the browser", dm.page, low, "DailyMotion", Found::OpenInBrowser, dm.file, none);
    const QString google = "http://vp.video.google.com/videodownload?docid=-3640530513745741819&";
    const QString gPage = testweb::sampleVideo("Google Video").page;
    row("Google, low keeps amp;", gPage, low, "Google Video", Found::OpenInBrowser, google + "amp;format=flv", none);
    row("Google, high", gPage, high, "Google Video", Found::OpenInBrowser, google + "format=mp4", none);
    row("Google, avi", gPage, avi, "Google Video", Found::OpenInBrowser, google + "format=avi", none);
    row("YouTube opens its window", "http://youtube.com/watch?v=bR96aWfpWN0", low, "YouTube", Found::OpenYouTubeWindow,
        QString(), none);
    for (const testweb::TodayVideo &v : testweb::todayVideos())
        row(qPrintable("today's web: " + v.shape), v.address, low, "today's web", Found::Row, v.file, v.name);
    row("a stream a page names", "http://www.streams.test/og.html", low, "today's web", Found::Row,
        "http://cdn.streams.test/v/clip.m3u8", "Harbour & sea.mp4");
    row("a typed playlist", "http://cdn.streams.test/v/clip.m3u8", low, "today's web", Found::Row,
        "http://cdn.streams.test/v/clip.m3u8", "clip.mp4");

    refused("tvali, no such video", "http://tvali.ge/index.php?action=watch&v=9999", low, "Tvali", noVideo);
    refused("tvali, the page breaks off", "http://tvali.ge/t/dropped", low, "Tvali",
            "The page of this video could not be fetched.\r\nThe connection broke off before the page was complete."
                + checkLink);
    refused("allvideos, no marker", "http://allvideos.ge/video.php?uid=NOSUCH", low, "AllVideos", noVideo);
    refused("videkta, not a number", "http://www.videkta.ge/?video_id=abc", low, "Videkta", noVideo);
    refused("metacafe, unknown video", "http://www.metacafe.com/watch/1/none/", low, "Metacafe", noVideo);
    refused("break has no avi", breakPage, avi, "Break", noVideo);
    refused("a live playlist", "http://cdn.streams.test/r/live.m3u8", low, "today's web", live);
    refused("a page naming a live stream", testweb::streamedPage(), low, "today's web", live);
    refused("a page without video", testweb::pageWithoutVideo(), low, "today's web", "No video was found on this page.");
    refused("nobody's address", "ftp://example.com/a.mp4", low, "", "Please, check the link and try again!");
}

void TestResolverAnswers::answers()
{
    QFETCH(QString, address);
    QFETCH(int, quality);
    QFETCH(QString, resolver);
    QFETCH(int, outcome);
    QFETCH(int, kind);
    QFETCH(QString, fileUrl);
    QFETCH(QString, fileName);
    QFETCH(QString, why);
    routeExtras(m_web->server());
    ResolverTable table;
    const Resolver *taker = table.route(address);
    QCOMPARE(taker ? taker->name() : QString(), resolver);
    QSignalSpy answers(&table, &ResolverTable::answered);
    QVERIFY(table.start({address, Quality(quality)}));
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 20000);
    const Answer answer = answers[0][0].value<Answer>();
    QCOMPARE(int(answer.outcome), outcome);
    QCOMPARE(ui::mainwindow::refusalText(answer.refusal), why);
    if (outcome == Answer::Found) {
        QCOMPARE(answer.rows.size(), 1);
        QCOMPARE(int(answer.rows[0].kind), kind);
        QCOMPARE(answer.rows[0].fileUrl, fileUrl);
        QCOMPARE(answer.rows[0].fileName.value_or(none), fileName);
    } else {
        QVERIFY(answer.rows.isEmpty());
    }
    QVERIFY(!table.busy());
    if (resolver == "YouTube" || resolver.isEmpty())
        QCOMPARE(m_web->server().requests().size(), 0); // answered from the address alone
}

void TestResolverAnswers::cancelEndsEveryFetch_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("a site's page") << "http://tvali.ge/t/never";
    QTest::newRow("the link service") << testweb::sampleVideo("Metacafe").page;
    QTest::newRow("today's web") << "http://www.openclips.test/t/never";
}

void TestResolverAnswers::cancelEndsEveryFetch()
{
    QFETCH(QString, address);
    routeStalls(m_web->server());
    ResolverTable table;
    QSignalSpy answers(&table, &ResolverTable::answered);
    QVERIFY(table.start({address, Quality::Low}));
    QTRY_VERIFY_WITH_TIMEOUT(!m_web->server().requests().isEmpty(), 10000); // the fetch is under way
    QTest::qWait(100);
    QVERIFY(table.busy());
    QCOMPARE(answers.size(), 0);
    table.cancel();
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 5000);
    QCOMPARE(int(answers[0][0].value<Answer>().outcome), int(Answer::Cancelled));
    QVERIFY(!table.busy());
    QTest::qWait(200); // nothing more follows the cancel
    QCOMPARE(answers.size(), 1);
    // The table takes the next address at once.
    QVERIFY(table.start({testweb::sampleVideo("Videkta").page, Quality::Low}));
    QCOMPARE(answers.size(), 2);
    QCOMPARE(int(answers[1][0].value<Answer>().outcome), int(Answer::Found));
}

QTEST_GUILESS_MAIN(TestResolverAnswers)
#include "tst_resolveranswers.moc"
