// Page fetching over real loopback sockets.
#include "resolve/getsource.h"
#include "support/testenv.h"
#include <QNetworkProxy>
#include <QTcpServer>
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::net;
using testweb::Response;

class TestFetchPage : public QObject
{
    Q_OBJECT
private slots:
    void bodies_data();
    void bodies();
    void failuresGiveEmptyText_data();
    void failuresGiveEmptyText();
    void unreachableHostGivesEmptyText();
    void sendsItsAgentAndFollowsRedirects();
    void openUrlTakesAnAddressWithoutScheme();
    void hostileAnswersEndWithinBounds_data();
    void hostileAnswersEndWithinBounds();
};

void TestFetchPage::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("chunked");
    QTest::newRow("shorter than one read") << QByteArray("<html>tvali</html>") << 200 << false;
    QTest::newRow("empty") << QByteArray() << 200 << false;
    QTest::newRow("exactly two reads") << testweb::Server::patternBytes(0, 512) << 200 << false;
    QTest::newRow("every byte value") << testweb::Server::patternBytes(7, 70000) << 200 << false;
    QTest::newRow("in chunks") << testweb::Server::patternBytes(3, 600000) << 200 << true;
    QTest::newRow("error page body comes back") << QByteArray("<h1>Not here</h1>") << 404 << false;
    QTest::newRow("server error body comes back") << QByteArray("oops") << 500 << false;
}

void TestFetchPage::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, chunked);
    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().on("tvali.ge", "/page", [&](const testweb::Request &) {
        Response r = Response::html(body, status);
        r.chunked = chunked;
        return r;
    });
    const QString text = test::fetchPageText(QStringLiteral("http://tvali.ge/page"));
    QCOMPARE(text.size(), body.size());
    QCOMPARE(text.toLatin1(), body); // one character per byte
}

void TestFetchPage::failuresGiveEmptyText_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fault");
    QTest::newRow("connection dropped mid-body") << "http://tvali.ge/page" << "drop";
    QTest::newRow("server goes quiet") << "http://tvali.ge/page" << "stall";
    QTest::newRow("local file address") << "file:///etc/hostname" << "";
    QTest::newRow("seven-character scheme before a site host") << "file://tvali.ge/etc/hostname" << "";
    QTest::newRow("data address") << "data:text/plain,xmlFile=" << "";
    QTest::newRow("no address") << "" << "";
    QTest::newRow("no host") << "http://" << "";
}

void TestFetchPage::failuresGiveEmptyText()
{
    QFETCH(QString, address);
    QFETCH(QString, fault);
    test::LocalWeb web;
    web.server().on("tvali.ge", "/page", [&](const testweb::Request &) {
        Response r = Response::html(QByteArray(4000, 'x'));
        if (fault == "drop")
            r.dropAfter = 1000;
        if (fault == "stall")
            r.stallAfterHeaders = true;
        return r;
    });
    QCOMPARE(test::fetchPageText(address, false, 500), QString());
}

void TestFetchPage::unreachableHostGivesEmptyText()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // nobody listens there now
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCOMPARE(test::fetchPageText(QStringLiteral("http://127.0.0.1:%1/").arg(port)), QString());
}

void TestFetchPage::sendsItsAgentAndFollowsRedirects()
{
    test::LocalWeb web;
    web.server().on("tvali.ge", "/old", [](const testweb::Request &) {
        return Response::redirect("http://tvali.ge/new");
    });
    web.server().on("tvali.ge", "/new", [](const testweb::Request &) { return Response::html("moved here"); });
    QCOMPARE(test::fetchPageText(QStringLiteral("http://tvali.ge/old")), QStringLiteral("moved here"));
    const QList<testweb::Request> seen = web.server().requests();
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.first().header("User-Agent"), QByteArray("vb wininet"));
    QCOMPARE(seen.first().method, QByteArray("GET"));
}

void TestFetchPage::openUrlTakesAnAddressWithoutScheme()
{
    test::LocalWeb web;
    web.server().on("links.vidrona-resolver.net", "/", [](const testweb::Request &req) {
        return Response::html("asked " + req.query);
    });
    QCOMPARE(test::fetchPageText(QStringLiteral("links.vidrona-resolver.net/?url=abc"), true), QStringLiteral("asked url=abc"));
    QCOMPARE(test::fetchPageText(QStringLiteral("http://links.vidrona-resolver.net/?url=d"), true), QStringLiteral("asked url=d"));
}

// Each answer would grow memory or hold the fetch without end; each ends
// within the bounds with a reason, and nothing is kept of it.
void TestFetchPage::hostileAnswersEndWithinBounds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("error");
    const QString badHead = "no valid header";
    const QString tooLarge = "The page is larger than 8 MB.";
    QTest::newRow("endless header") << "endless header" << badHead;
    QTest::newRow("too many header lines") << "header lines" << badHead;
    QTest::newRow("endless page") << "endless page" << tooLarge;
    QTest::newRow("endless chunks") << "endless chunks" << tooLarge;
    QTest::newRow("100 MB announced") << "100 MB" << tooLarge;
    QTest::newRow("trickling page") << "trickle" << "The page did not arrive within 3 seconds.";
    QTest::newRow("gzip bomb") << "gzip bomb" << tooLarge; // unpacked, past the bound
    QTest::newRow("redirect to link-local") << "metadata" << "A redirect to http://169.254.169.254 was refused.";
    QTest::newRow("redirect loop") << "loop" << "redirects more than 10 times";
}

void TestFetchPage::hostileAnswersEndWithinBounds()
{
    QFETCH(QString, fault);
    QFETCH(QString, error);
    test::LocalWeb web;
    web.server().onRedirectLoop("tvali.ge", "/loop");
    web.server().onHost("169.254.169.254", [](const testweb::Request &) { return Response::html("secret"); });
    web.server().on("tvali.ge", "/page", [&](const testweb::Request &) {
        Response r = Response::pattern(fault == "100 MB" ? 100 << 20 : qint64(1) << 40, "text/html");
        r.sendContentLength = fault == "100 MB";
        r.chunked = fault == "endless chunks";
        r.endlessHeaders = fault == "endless header";
        r.fillerHeaders = fault == "header lines" ? 150 : 0;
        r.trickleMs = fault == "trickle" ? 50 : 0;
        if (fault == "gzip bomb")
            r = Response::gzipBomb(qint64(64) << 20);
        if (fault == "metadata")
            r = Response::redirect("http://169.254.169.254/latest/meta-data/");
        return r;
    });
    PageRequest request;
    request.setLimits({MaxPageBytes, 2000, 3000});
    const PageResult r = test::fetchPage(request, fault == "loop" ? "http://tvali.ge/loop" : "http://tvali.ge/page");
    QCOMPARE(r.outcome, PageResult::Failed);
    const QString said = ui::mainwindow::failureText(r.failure);
    QVERIFY2(said.contains(error), qPrintable(said));
    QVERIFY(r.body.isEmpty());
    for (const testweb::Request &seen : web.server().requests())
        QCOMPARE_NE(seen.host, QByteArray("169.254.169.254"));
}

QTEST_MAIN(TestFetchPage)
#include "tst_fetchpage.moc"
