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
#include <QtTest>
#include <memory>

using namespace vidrona;
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
    return request.fetchAndWait(QUrl(address), "Vidrona");
}

// The queue's transfer; the failure, none when the file is in place.
net::Failure transfer(const QString &address, QByteArray *content)
{
    QTemporaryDir dir;
    Transfer t;
    QSignalSpy finished(&t, &Transfer::finished);
    const QString target = dir.filePath(QStringLiteral("v.flv"));
    if (!t.start(QUrl(address), target) || !finished.wait(15000))
        return {net::Reason::Other, QStringLiteral("did not end")};
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
    const Response packed = Response::packed(QByteArray(5000, 'v'), "gzip");
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
