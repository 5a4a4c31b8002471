// Page fetching over real loopback sockets.
#include "resolvers/core/getsource.h"
#include "support/testenv.h"
#include <QGuiApplication>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

using namespace vidrona;
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
    void busyCursorWhileWaitingTimersStillRun();
};

void TestFetchPage::bodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::newRow("shorter than one read") << QByteArray("<html>tvali</html>") << 200;
    QTest::newRow("empty") << QByteArray() << 200;
    QTest::newRow("exactly two reads") << testweb::Server::patternBytes(0, 512) << 200;
    QTest::newRow("every byte value") << testweb::Server::patternBytes(7, 70000) << 200;
    QTest::newRow("error page body comes back") << QByteArray("<h1>Not here</h1>") << 404;
    QTest::newRow("server error body comes back") << QByteArray("oops") << 500;
}

void TestFetchPage::bodies()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().on("tvali.ge", "/page", [&](const testweb::Request &) { return Response::html(body, status); });
    const QString text = FetchPage(QStringLiteral("http://tvali.ge/page"));
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
    QCOMPARE(FetchPage(address, 500), QString());
}

void TestFetchPage::unreachableHostGivesEmptyText()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // nobody listens there now
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    QCOMPARE(FetchPage(QStringLiteral("http://127.0.0.1:%1/").arg(port)), QString());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestFetchPage::sendsItsAgentAndFollowsRedirects()
{
    test::LocalWeb web;
    web.server().on("tvali.ge", "/old", [](const testweb::Request &) {
        return Response::redirect("http://tvali.ge/new");
    });
    web.server().on("tvali.ge", "/new", [](const testweb::Request &) { return Response::html("moved here"); });
    QCOMPARE(FetchPage(QStringLiteral("http://tvali.ge/old")), QStringLiteral("moved here"));
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
    QCOMPARE(OpenURL(QStringLiteral("links.vidrona-resolver.net/?url=abc")), QStringLiteral("asked url=abc"));
    QCOMPARE(OpenURL(QStringLiteral("http://links.vidrona-resolver.net/?url=d")), QStringLiteral("asked url=d"));
}

void TestFetchPage::busyCursorWhileWaitingTimersStillRun()
{
    test::LocalWeb web;
    web.server().on("tvali.ge", "/slow", [](const testweb::Request &) {
        Response r = Response::html(QByteArray(40, 'y'));
        r.trickleMs = 10;
        return r;
    });
    int ticks = 0;
    bool busyDuringWait = true;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] {
        ++ticks;
        const QCursor *c = QGuiApplication::overrideCursor();
        busyDuringWait = busyDuringWait && c && c->shape() == Qt::WaitCursor;
    });
    timer.start(20);
    const QString text = FetchPage(QStringLiteral("http://tvali.ge/slow"));
    timer.stop();
    QCOMPARE(text, QString(40, QLatin1Char('y')));
    QVERIFY(ticks > 0);
    QVERIFY(busyDuringWait);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TestFetchPage)
#include "tst_fetchpage.moc"
