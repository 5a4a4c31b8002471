// The one HTTP client every fetch goes through: compressed pages unpacked
// within the page bound, the one reading of the proxy, the one pair of head
// bounds for pages and files alike.
#include "download/transfer.h"
#include "net/pagerequest.h"
#include "net/proxy.h"
#include "support/testenv.h"
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QtTest>
#include <memory>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::net;
using testweb::Response;

namespace {

const char *const ProxyVariables[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                      "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

// Sets "name=value;name=value" as the only proxy variables.
void setProxyEnvironment(const QString &settings)
{
    for (const char *name : ProxyVariables)
        qunsetenv(name);
    for (const QString &pair : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        qputenv(pair.left(eq).toLatin1().constData(), pair.mid(eq + 1).toLatin1());
    }
}

PageResult fetchPage(const QString &address, bool userNamed = false)
{
    PageRequest request;
    request.setUserNamed(userNamed);
    return test::fetchPage(request, address, true);
}

// The queue's transfer; the failure, none when the file is in place.
net::Failure transfer(const QString &address, QByteArray *content)
{
    QTemporaryDir dir;
    Transfer t;
    QSignalSpy finished(&t, &Transfer::finished);
    const QString target = dir.filePath(QStringLiteral("v.flv"));
    if (!t.start(QUrl(address), target) || !finished.wait(15000))
        return net::fail(net::Reason::Other, net::Cause::SystemSaid, QStringLiteral("did not end"));
    *content = test::readFile(target);
    return finished.at(0).at(0).value<net::Failure>();
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setProxyEnvironment(QString()); }
    void compressedPages_data();
    void compressedPages();
    void filesComeAsSent();
    void proxyChoice_data();
    void proxyChoice();
    void proxyFromTheEnvironment_data();
    void proxyFromTheEnvironment();
    void headBoundsForEveryFetch_data();
    void headBoundsForEveryFetch();
    void headReader_data();
    void headReader();
    void failureReasons_data();
    void failureReasons();
    void endingAFetchEarly_data();
    void endingAFetchEarly();
};

void TestHttpClient::compressedPages_data()
{
    QTest::addColumn<QByteArray>("coding");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("fits");
    const qint64 bound = MaxPageBytes;
    for (const char *coding : {"gzip", "deflate", "br"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 page").arg(coding))) << QByteArray(coding) << qint64(300000) << true;
        QTest::newRow(qPrintable(QStringLiteral("%1 at the bound").arg(coding))) << QByteArray(coding) << bound << true;
        QTest::newRow(qPrintable(QStringLiteral("%1 past the bound").arg(coding))) << QByteArray(coding) << bound + 1 << false;
    }
}

// What is bounded is the unpacked page, whatever came over the wire.
void TestHttpClient::compressedPages()
{
    QFETCH(QByteArray, coding);
    QFETCH(qint64, size);
    QFETCH(bool, fits);
    if (!Response::canPack(coding))
        QSKIP("The local web cannot pack with this coding here.");
    test::LocalWeb web;
    QVERIFY(web.ok());
    // Large pages of one letter pack quickly.
    const QByteArray page = size < 1000000 ? testweb::Server::patternBytes(11, size) : QByteArray(size, 'z');
    const Response packed = Response::packed(page, coding);
    QVERIFY(packed.body.size() > 0);
    web.server().on("www.example.com", "/packed", [&](const testweb::Request &) { return packed; });
    const PageResult r = fetchPage(QStringLiteral("http://www.example.com/packed"));
    QVERIFY(web.server().requests().value(0).header("Accept-Encoding").contains(coding));
    QCOMPARE(r.fetched(), fits);
    if (fits) {
        QCOMPARE(r.body.size(), page.size());
        QVERIFY(r.body == page);
    } else {
        QCOMPARE(r.failure.reason, net::Reason::TooLarge);
        QVERIFY(r.body.isEmpty());
    }
}

// A file's ranges and length count the bytes as sent: none is unpacked.
void TestHttpClient::filesComeAsSent()
{
    test::LocalWeb web;
    QVERIFY(web.ok());
    Response packed = Response::packed(QByteArray(5000, 'v'), "gzip");
    // A video file is never a web page: the packed body comes as a file.
    for (auto &field : packed.headers)
        if (field.first == "Content-Type")
            field.second = "application/octet-stream";
    web.server().on("media.vidrona.test", "/p.flv", [&](const testweb::Request &) { return packed; });
    QByteArray content;
    QVERIFY(!transfer(QStringLiteral("http://media.vidrona.test/p.flv"), &content).failed());
    QCOMPARE(content, packed.body);
    QVERIFY(!web.server().requests().value(0).headers.contains(qMakePair(QByteArray("Accept-Encoding"), QByteArray("gzip"))));
    QCOMPARE(web.server().requests().value(0).header("User-Agent"), QByteArray("Mozilla/5.0"));
}

void TestHttpClient::proxyChoice_data()
{
    QTest::addColumn<QString>("program"); // the proxy the program set: none, http or socks5
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("proxy");
    const QString env = "http_proxy=http://10.1.1.1:3128;https_proxy=10.2.2.2:8080";
    QTest::newRow("none at all") << "none" << "" << "http://a.test/" << QByteArray();
    QTest::newRow("the program's http proxy first") << "http" << env << "http://a.test/" << QByteArray("http://127.0.0.1:3128");
    QTest::newRow("the program's SOCKS5 proxy resolves names") << "socks5" << "" << "https://a.test/" << QByteArray("socks5h://127.0.0.1:1080");
    QTest::newRow("http_proxy for http") << "none" << env << "http://a.test/" << QByteArray("http://10.1.1.1:3128");
    QTest::newRow("https_proxy for https, scheme added") << "none" << env << "https://a.test/" << QByteArray("http://10.2.2.2:8080");
    QTest::newRow("capital HTTPS_PROXY") << "none" << "HTTPS_PROXY=http://10.3.3.3:1" << "https://a.test/" << QByteArray("http://10.3.3.3:1");
    QTest::newRow("capital HTTP_PROXY is not read") << "none" << "HTTP_PROXY=http://10.3.3.3:1" << "http://a.test/" << QByteArray();
    QTest::newRow("all_proxy when no other") << "none" << "all_proxy=socks5://10.4.4.4:1080" << "http://a.test/" << QByteArray("socks5h://10.4.4.4:1080");
    QTest::newRow("no_proxy: the host") << "none" << env + ";no_proxy=x.test,a.test" << "http://a.test/" << QByteArray();
    QTest::newRow("no_proxy: the domain") << "none" << env + ";no_proxy=.test" << "http://www.a.test/" << QByteArray();
    QTest::newRow("no_proxy: not a mere suffix") << "none" << env + ";no_proxy=a.test" << "http://ba.test/" << QByteArray("http://10.1.1.1:3128");
    QTest::newRow("no_proxy: every host") << "none" << env + ";NO_PROXY=*" << "https://a.test/" << QByteArray();
}

void TestHttpClient::proxyChoice()
{
    QFETCH(QString, program);
    QFETCH(QString, environment);
    QFETCH(QString, url);
    QFETCH(QByteArray, proxy);
    setProxyEnvironment(environment);
    if (program == QLatin1String("http"))
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128));
    else if (program == QLatin1String("socks5"))
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::Socks5Proxy, QStringLiteral("127.0.0.1"), 1080));
    else
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCOMPARE(net::proxyFor(QUrl(url)), proxy);
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestHttpClient::proxyFromTheEnvironment_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("method"); // what the proxy receives; empty: nothing
    QTest::addColumn<bool>("direct");       // the page reaches the second server directly
    QTest::newRow("http through http_proxy") << "http://www.example.com/env" << QByteArray("GET") << false;
    QTest::newRow("https through a CONNECT tunnel") << "https://www.example.com/env" << QByteArray("CONNECT") << false;
    QTest::newRow("no_proxy names the host") << "http://127.0.0.1:%1/env" << QByteArray() << true;
}

// The variables as a user sets them, read once by the program: curl
// reading them too would show as a second way.
void TestHttpClient::proxyFromTheEnvironment()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, method);
    QFETCH(bool, direct);
    testweb::Server proxy, other;
    QVERIFY(proxy.listen() && other.listen());
    other.on("127.0.0.1", "/env", [](const testweb::Request &) { return Response::html("direct"); });
    proxy.on("www.example.com", "/env", [](const testweb::Request &) { return Response::html("proxied"); });
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    const QString at = QStringLiteral("http://127.0.0.1:%1").arg(proxy.port());
    setProxyEnvironment(QStringLiteral("http_proxy=%1;https_proxy=%1;no_proxy=127.0.0.1").arg(at));
    const PageResult r = fetchPage(url.contains(QLatin1String("%1")) ? url.arg(other.port()) : url, true);
    QCOMPARE(proxy.requests().size(), method.isEmpty() ? 0 : 1);
    if (!method.isEmpty()) {
        QCOMPARE(proxy.requests().first().method, method);
        QCOMPARE(proxy.requests().first().host, QByteArray("www.example.com"));
    }
    QCOMPARE(other.requests().size(), direct ? 1 : 0);
    if (method == "GET" || direct)
        QCOMPARE(r.body, QByteArray(direct ? "direct" : "proxied"));
}

void TestHttpClient::headBoundsForEveryFetch_data()
{
    QTest::addColumn<QString>("fetch");
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("ok");
    for (const char *fetch : {"page", "file"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, 90 head lines").arg(fetch))) << fetch << 90 << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, 150 head lines").arg(fetch))) << fetch << 150 << false;
    }
}

void TestHttpClient::headBoundsForEveryFetch()
{
    QFETCH(QString, fetch);
    QFETCH(int, lines);
    QFETCH(bool, ok);
    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().on("media.vidrona.test", "/h.flv", [&](const testweb::Request &) {
        Response r = Response::bytes("headed");
        r.fillerHeaders = lines;
        return r;
    });
    const QString address = QStringLiteral("http://media.vidrona.test/h.flv");
    QByteArray content;
    const net::Failure failure = fetch == QLatin1String("page") ? fetchPage(address).failure : transfer(address, &content);
    QCOMPARE(failure.failed(), !ok);
    if (!ok)
        QCOMPARE(failure.reason, net::Reason::HeadTooLarge);
    else if (fetch == QLatin1String("file"))
        QCOMPARE(content, QByteArray("headed"));
}

void TestHttpClient::headReader_data()
{
    QTest::addColumn<QByteArray>("answer"); // lines as the connection hands them over
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");
    const int complete = HeadReader::Complete, invalid = HeadReader::Invalid, tooLarge = HeadReader::TooLarge;
    const QByteArray type = "Content-TYPE: text/html\r\n";
    QTest::newRow("plain") << "HTTP/1.1 200 OK\r\n" + type + "\r\n" << complete << 200;
    QTest::newRow("HTTP/1.0, bare line ends") << QByteArray("HTTP/1.0 404 Not Found\ncontent-type: text/html\n\n") << complete << 404;
    QTest::newRow("no reason") << "HTTP/1.1 204\r\n" + type + "\r\n" << complete << 204;
    QTest::newRow("after an interim answer") << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 302 Found\r\n" + type + "\r\n" << complete << 302;
    QTest::newRow("not yet ended") << "HTTP/1.1 200 OK\r\n" + type << int(HeadReader::More) << 200;
    QTest::newRow("two-digit status") << QByteArray("HTTP/1.1 20 OK\r\n\r\n") << invalid << 0;
    QTest::newRow("four-digit status") << QByteArray("HTTP/1.1 2000 OK\r\n\r\n") << invalid << 0;
    QTest::newRow("no space after the status") << QByteArray("HTTP/1.1 200OK\r\n\r\n") << invalid << 0;
    QTest::newRow("another protocol") << QByteArray("ICY 200 OK\r\n\r\n") << invalid << 0;
    QTest::newRow("fields before the status") << QByteArray("Server: x\r\nHTTP/1.1 200 OK\r\n\r\n") << invalid << 0;
    QByteArray lines99 = "HTTP/1.1 200 OK\r\n", lines101 = lines99;
    for (int i = 0; i < 98; ++i)
        lines99 += "X-Filler-" + QByteArray::number(i) + ": x\r\n";
    lines101 = lines99 + "Content-Type: text/html\r\nX-Last: y\r\n\r\n";
    QTest::newRow("100 lines") << lines99 + type + "\r\n" << complete << 200;
    QTest::newRow("101 lines") << lines101 << tooLarge << 200;
    QTest::newRow("one field past 64 KiB") << "HTTP/1.1 200 OK\r\nX-Big: " + QByteArray(64 * 1024, 'b') + "\r\n\r\n" << tooLarge << 200;
    QByteArray interim;
    for (int i = 0; i <= MaxInterimAnswers; ++i)
        interim += "HTTP/1.1 100 Continue\r\n\r\n";
    QTest::newRow("interim answers without end") << interim + "HTTP/1.1 200 OK\r\n\r\n" << tooLarge << 100;
    QTest::newRow("trailers after the head") << "HTTP/1.1 200 OK\r\n" + type + "\r\nX-Trailer: 1\r\n\r\n" << complete << 200;
}

// The one reader of every answer's head: a strict status line and the bounds.
void TestHttpClient::headReader()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, state);
    QFETCH(int, status);
    HeadReader reader;
    for (qsizetype at = 0; at < answer.size();) {
        const qsizetype nl = answer.indexOf('\n', at);
        const qsizetype end = nl < 0 ? answer.size() : nl + 1;
        reader.take(QByteArrayView(answer).sliced(at, end - at));
        at = end;
    }
    QCOMPARE(int(reader.state()), state);
    QCOMPARE(reader.head().status, status);
    if (state == HeadReader::Complete && answer.contains("TYPE"))
        QCOMPARE(reader.head().value("content-type"), QByteArray("text/html"));
}

void TestHttpClient::failureReasons_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reason");
    QTest::newRow("nobody listens") << "closed" << int(net::Reason::CannotConnect);
    QTest::newRow("not a web address") << "ftp" << int(net::Reason::NotWebAddress);
    QTest::newRow("broken off") << "drop" << int(net::Reason::BrokeOff);
    QTest::newRow("quiet after the head") << "stall" << int(net::Reason::Stalled);
    QTest::newRow("trickling past the whole time") << "trickle" << int(net::Reason::TimedOut);
    QTest::newRow("redirects without end") << "loop" << int(net::Reason::TooManyRedirects);
    QTest::newRow("redirect into a private network") << "private" << int(net::Reason::RedirectRefused);
    QTest::newRow("page-named private address") << "named" << int(net::Reason::AddressRefused);
    QTest::newRow("head without end") << "endless" << int(net::Reason::HeadTooLarge);
    QTest::newRow("one head line without end") << "long line" << int(net::Reason::HeadTooLarge);
    QTest::newRow("error page") << "404" << int(net::Reason::None);
}

// What went wrong, as a code the program can act on.
void TestHttpClient::failureReasons()
{
    QFETCH(QString, fault);
    QFETCH(int, reason);
    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().onRedirectLoop("www.example.com", "/loop");
    web.server().on("www.example.com", "/page", [&](const testweb::Request &) {
        Response r = Response::html(QByteArray(4000, 'x'), fault == "404" ? 404 : 200);
        r.dropAfter = fault == "drop" ? 1000 : -1;
        r.stallAfterHeaders = fault == "stall";
        r.trickleMs = fault == "trickle" ? 50 : 0;
        r.endlessHeaders = fault == "endless";
        if (fault == "long line")
            r.headers.append({"X-Long", QByteArray(300 << 10, 'l')});
        return fault == "private" ? Response::redirect("http://10.0.0.7/") : r;
    });
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QString address = fault == "loop" ? "http://www.example.com/loop" : "http://www.example.com/page";
    if (fault == "closed")
        address = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    else if (fault == "ftp")
        address = "ftp://www.example.com/page";
    else if (fault == "named")
        address = "http://10.0.0.7/";
    if (fault == "closed")
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    PageRequest request;
    request.setUserNamed(fault == "closed");
    request.setLimits({MaxPageBytes, 1000, 2000});
    const PageResult r = test::fetchPage(request, address, true);
    QCOMPARE(int(r.failure.reason), reason);
    QCOMPARE(r.fetched(), reason == int(net::Reason::None));
    QCOMPARE(r.failure.cause == net::Cause::None, reason == int(net::Reason::None)); // every failure says why
}

void TestHttpClient::endingAFetchEarly_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("outcome"); // of the one finished() that follows; -1: none
    QTest::newRow("cancelled") << "cancel" << int(PageResult::Cancelled);
    QTest::newRow("started again") << "restart" << int(PageResult::Fetched);
    QTest::newRow("destroyed") << "destroy" << -1;
}

// A fetch the server never answers, ended by its owner: one finished() at
// most, never from inside the call, and the connection is let go.
void TestHttpClient::endingAFetchEarly()
{
    QFETCH(QString, how);
    QFETCH(int, outcome);
    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().on("www.example.com", "/quiet", [](const testweb::Request &) {
        Response r;
        r.silent = true;
        return r;
    });
    web.server().on("www.example.com", "/page", [](const testweb::Request &) { return Response::html("here"); });
    auto request = std::make_unique<PageRequest>();
    QList<PageResult> results;
    connect(request.get(), &PageRequest::finished, this, [&](const PageResult &r) { results.append(r); });
    request->start(QUrl(QStringLiteral("http://www.example.com/quiet")), "Vidrona");
    QTRY_COMPARE_WITH_TIMEOUT(web.server().requests().size(), 1, 10000);
    if (how == QLatin1String("cancel"))
        request->cancel();
    else if (how == QLatin1String("restart"))
        request->start(QUrl(QStringLiteral("http://www.example.com/page")), "Vidrona");
    else
        request.reset();
    QVERIFY(results.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(web.server().openConnections(), 0, 10000);
    if (outcome >= 0) {
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 10000);
        QCOMPARE(int(results.first().outcome), outcome);
        QVERIFY(!request->busy());
    }
    QTest::qWait(100); // a second finished() would come meanwhile
    QCOMPARE(results.size(), outcome >= 0 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
