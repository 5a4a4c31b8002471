// Working out the file behind an address of today's web over real loopback
// sockets: the shapes of the simulated web and the faults a server can have.
#include "ui/mainwindow/refusaltexts.h"
#include "resolve/videoprobe.h"
#include "sites/samples.h"
#include "support/testenv.h"
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>
#include <optional>

using namespace vidrona;
using namespace vidrona::resolve;
using testweb::Request;
using testweb::Response;

class TestVideoProbe : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_web.reset(); }
    void worksOut_data();
    void worksOut();
    void whyEndsInItsReason_data();
    void whyEndsInItsReason();

private:
    void routeFaults();
    std::unique_ptr<test::LocalWeb> m_web;
};

void TestVideoProbe::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    routeFaults();
}

void TestVideoProbe::routeFaults()
{
    testweb::Server &s = m_web->server();
    const QByteArray host = "www.faults.test";
    s.on(host, "/quiet.html", [](const Request &) { Response r; r.silent = true; return r; });
    s.on(host, "/cut-off.html", [](const Request &) {
        Response r = Response::html(QByteArray(5000, ' ') + "<video src=\"/a.mp4\">");
        r.dropAfter = 1000;
        return r;
    });
    s.on(host, "/big.html", [](const Request &) {
        return Response::html("<video src=\"http://media.openclips.test/files/big.mp4\">" + QByteArray(9 << 20, ' '));
    });
    s.on(host, "/player-first.html", [](const Request &) {
        return Response::html("<meta property=\"og:video\" content=\"/embed/1\"><video src=\"http://media.openclips.test/files/second.mp4\">");
    });
    s.on(host, "/embed/1", [](const Request &) { return Response::html("<html>a player</html>"); });
    s.on(host, "/dead-file.html", [](const Request &) { return Response::html("<video src=\"/gone.mp4\">"); });
    s.onRedirectLoop(host, "/loop.mp4");
    // Reached only through the local server as proxy, if ever followed.
    s.on(host, "/to-metadata.mp4", [](const Request &) { return Response::redirect("http://169.254.169.254/x.mp4"); });
    s.on("169.254.169.254", "/x.mp4", [](const Request &) { return Response::pattern(1000, "video/mp4"); });
    // Heads without end, on every answer or on the GET only (after a HEAD
    // that said page, or that was refused).
    s.on(host, "/endless-head.mp4", [](const Request &) { Response r; r.endlessHeaders = true; return r; });
    const auto endlessOnGet = [](int headStatus) {
        return [headStatus](const Request &req) {
            Response r = Response::html("<video src=\"/a.mp4\">", req.method == "HEAD" ? headStatus : 200);
            r.endlessHeaders = req.method == "GET";
            return r;
        };
    };
    s.on(host, "/endless-get-head.html", endlessOnGet(200));
    s.on(host, "/endless-head-after-refusal.html", endlessOnGet(405));
    s.on(host, "/names-a-page.html", [](const Request &) {
        return Response::html("<meta property=\"og:video\" content=\"/embed/2\">");
    });
    s.on(host, "/embed/2", [](const Request &) { return Response::html("<html>only a player</html>"); });
    // One head line longer than any bound, never ended within it.
    s.on(host, "/long-line.mp4", [](const Request &) {
        Response r = Response::pattern(1000, "video/mp4");
        r.headers.append({"X-Long", QByteArray(300 << 10, 'l')});
        return r;
    });
    s.on(host, "/moved.mp4", [](const Request &) { return Response::redirect("http://media.openclips.test/files/moved.mp4"); });
}

void TestVideoProbe::worksOut_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("name");
    for (const testweb::TodayVideo &v : testweb::todayVideos())
        QTest::newRow(qPrintable(v.shape)) << v.address << int(ProbeResult::File) << v.file << v.name;
    const auto nothing = [](const char *name, const QString &address, int kind = ProbeResult::Nothing) {
        QTest::newRow(name) << address << kind << QString() << QString();
    };
    nothing("live stream page", testweb::streamedPage(), ProbeResult::Refused);
    nothing("page without video", testweb::pageWithoutVideo());
    nothing("HTTP error", "http://www.openclips.test/gone.html");
    nothing("no answer in the stall time", "http://www.faults.test/quiet.html");
    nothing("page cut off", "http://www.faults.test/cut-off.html");
    nothing("file the page names is gone", "http://www.faults.test/dead-file.html");
    nothing("endless redirects", "http://www.faults.test/loop.mp4");
    nothing("redirect into a link-local address", "http://www.faults.test/to-metadata.mp4");
    // Headers keep coming, so the stall time never passes and the total
    // time is far off: only the bound on the head can end these in time.
    nothing("endless head", "http://www.faults.test/endless-head.mp4");
    nothing("endless head on the page's GET", "http://www.faults.test/endless-get-head.html");
    nothing("endless head after HEAD is refused", "http://www.faults.test/endless-head-after-refusal.html");
    QTest::newRow("page over 8 MiB") << "http://www.faults.test/big.html" << int(ProbeResult::File)
                                     << "http://media.openclips.test/files/big.mp4" << "big.mp4";
    QTest::newRow("player page skipped") << "http://www.faults.test/player-first.html" << int(ProbeResult::File)
                                         << "http://media.openclips.test/files/second.mp4" << "second.mp4";
    QTest::newRow("redirect keeps the address") << "http://www.faults.test/moved.mp4" << int(ProbeResult::File)
                                                << "http://www.faults.test/moved.mp4" << "moved.mp4";
}

void TestVideoProbe::worksOut()
{
    QFETCH(QString, address);
    QFETCH(int, kind);
    QFETCH(QString, fileUrl);
    QFETCH(QString, name);
    VideoProbe probe;
    probe.setStallTimeout(1500);
    std::optional<ProbeResult> got;
    int results = 0;
    connect(&probe, &VideoProbe::finished, this, [&](const ProbeResult &r) {
        got = r;
        ++results;
    });
    QVERIFY(probe.start(address));
    QVERIFY(!probe.start(address)); // one at a time
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
    QCOMPARE(int(got->kind), kind);
    QCOMPARE(got->fileUrl, fileUrl);
    QCOMPARE(got->fileName, name);
    QVERIFY(!probe.isRunning());
    QTest::qWait(50);
    QCOMPARE(results, 1);
    // A file is asked for by its head; only a server refusing HEAD gets a GET.
    const QUrl file(fileUrl);
    int gets = 0;
    for (const Request &r : m_web->server().requests())
        gets += r.method == "GET" && r.host == file.host().toLatin1() && r.path == file.path(QUrl::FullyEncoded).toLatin1();
    QCOMPARE(gets, file.host() == "cdn.streambox.test" ? 1 : 0);
}

// Every message the user reads ends in its reason.
void TestVideoProbe::whyEndsInItsReason_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("why");
    QTest::newRow("the page names a page") << "http://www.faults.test/names-a-page.html"
                                           << "The page names a video, but it could not be fetched: the address it "
                                              "names is a web page, not a video file.";
    QTest::newRow("one head line without end") << "http://www.faults.test/long-line.mp4"
                                               << "The server's answer has no valid header, or one larger than 64 KB "
                                                  "or of more than 100 lines.";
}

void TestVideoProbe::whyEndsInItsReason()
{
    QFETCH(QString, address);
    QFETCH(QString, why);
    VideoProbe probe;
    std::optional<ProbeResult> got;
    connect(&probe, &VideoProbe::finished, this, [&](const ProbeResult &r) { got = r; });
    QVERIFY(probe.start(address));
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
    QCOMPARE(int(got->kind), int(ProbeResult::Nothing));
    QCOMPARE(ui::mainwindow::refusalText(got->refusal), why);
}

QTEST_GUILESS_MAIN(TestVideoProbe)
#include "tst_videoprobe.moc"
