// Cookies a browser handed over go only to the hosts they belong to:
// through libcurl's cookie engine, on every hop of a redirect, and never
// as a head line sent to whoever answers.
#include "net/httpclient.h"
#include "server.h"
#include <QTemporaryDir>
#include "support/testenv.h"
#include <QtTest>
#include <thread>

using namespace vidrona;
using namespace vidrona::net;

namespace {

class BodyKeeper : public net::Receiver
{
public:
    bool head(const HttpHead &, const QUrl &) override { return true; }
    bool body(const char *data, qsizetype length) override
    {
        bytes.append(data, length);
        return bytes.size() < 1 << 16;
    }
    QByteArray bytes;
};

// Every host the test names resolves to the local web, as if the
// system's resolver said so.
net::Outcome fetch(const QString &address, const QString &cookieFile, quint16 port)
{
    net::Request request;
    request.url = QUrl(address);
    request.userNamed = true;
    request.totalMs = 15000;
    request.cookieFile = cookieFile;
    for (const QByteArray host : {"a.example", "b.example", "sub.a.example", "ba.example"})
        request.resolveAs << host + ':' + QByteArray::number(port) + ":127.0.0.1";
    BodyKeeper keeper;
    std::atomic<bool> cancel{false}, ended{false};
    net::HttpClient client;
    net::Outcome outcome;
    std::thread worker([&] { // the local web answers on this thread
        outcome = client.perform(request, keeper, cancel);
        ended = true;
    });
    if (!QTest::qWaitFor([&] { return ended.load(); }, 20000))
        cancel = true;
    worker.join();
    return outcome;
}

} // namespace

class TestCookies : public QObject
{
    Q_OBJECT
private slots:
    void onlyTheirHosts_data();
    void onlyTheirHosts();
};

void TestCookies::onlyTheirHosts_data()
{
    QTest::addColumn<QByteArray>("cookieLine");
    QTest::addColumn<QString>("path"); // asked of a.example or b.example
    QTest::addColumn<QByteArray>("expected"); // "host=Cookie" of each request, in order
    const QByteArray hostOnly = "a.example\tFALSE\t/\tFALSE\t0\tsession\tsecret";
    const QByteArray domain = ".a.example\tTRUE\t/\tFALSE\t0\tsession\tsecret";
    QTest::newRow("its host") << hostOnly << "http://a.example:%1/v" << QByteArray("a.example=session=secret");
    QTest::newRow("another host") << hostOnly << "http://b.example:%1/v" << QByteArray("b.example=");
    QTest::newRow("a redirect away") << hostOnly << "http://a.example:%1/to-b"
                                     << QByteArray("a.example=session=secret;b.example=");
    QTest::newRow("a redirect to it") << hostOnly << "http://b.example:%1/to-a"
                                      << QByteArray("b.example=;a.example=session=secret");
    QTest::newRow("host-only, not its sub-host") << hostOnly << "http://sub.a.example:%1/v"
                                                 << QByteArray("sub.a.example=");
    QTest::newRow("domain, its sub-host") << domain << "http://sub.a.example:%1/v"
                                          << QByteArray("sub.a.example=session=secret");
    QTest::newRow("domain, a name ending alike") << domain << "http://ba.example:%1/v"
                                                 << QByteArray("ba.example=");
    QTest::newRow("no cookie file") << QByteArray() << "http://a.example:%1/v" << QByteArray("a.example=");
}

void TestCookies::onlyTheirHosts()
{
    QFETCH(QByteArray, cookieLine);
    QFETCH(QString, path);
    QFETCH(QByteArray, expected);
    testweb::Server web;
    QVERIFY(web.listen());
    const QByteArray port = QByteArray::number(web.port());
    const auto plain = [](const testweb::Request &) { return testweb::Response::bytes("video"); };
    for (const QByteArray host : {"a.example", "b.example", "sub.a.example", "ba.example"})
        web.onHost(host, plain);
    web.on("a.example", "/to-b", [port](const testweb::Request &) {
        return testweb::Response::redirect("http://b.example:" + port + "/v");
    });
    web.on("b.example", "/to-a", [port](const testweb::Request &) {
        return testweb::Response::redirect("http://a.example:" + port + "/v");
    });
    QTemporaryDir dir;
    QString cookieFile;
    if (!cookieLine.isEmpty()) {
        cookieFile = dir.filePath(QStringLiteral("cookies.txt"));
        QFile file(cookieFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# Netscape HTTP Cookie File\n" + cookieLine + '\n');
    }

    const net::Outcome outcome = fetch(path.arg(web.port()), cookieFile, web.port());
    QVERIFY2(!outcome.failure.failed(), vidrona::test::describe(outcome.failure).constData());
    QList<QByteArray> seen;
    for (const testweb::Request &r : web.requests())
        seen << r.host + '=' + r.header("Cookie");
    QCOMPARE(seen.join(';'), expected);
}

QTEST_GUILESS_MAIN(TestCookies)
#include "tst_cookies.moc"
