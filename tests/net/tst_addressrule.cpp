// Private addresses: what the judgement refuses, and every way an address
// reaches a fetch (named by a page, by a redirect, typed by the user). A
// refused address is refused before any request leaves: through the local
// web acting as proxy, its request log shows none.
#include "download/transfer.h"
#include "net/addressrule.h"
#include "net/httpclient.h"
#include "net/pagerequest.h"
#include "resolve/videoprobe.h"
#include "support/testenv.h"
#include <QHostAddress>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <optional>
#include <thread>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::net;
using namespace vidrona::resolve;

namespace {

// The address as the system hands it to a socket.
bool privateAsSocketAddress(const QHostAddress &address)
{
    sockaddr_storage storage{};
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
    } else {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        memcpy(in6->sin6_addr.s6_addr, bytes.c, 16);
    }
    return isPrivateAddress(reinterpret_cast<const sockaddr *>(&storage));
}

int requestsFor(const testweb::Server &server, const QByteArray &path)
{
    int n = 0;
    for (const testweb::Request &r : server.requests())
        n += r.path == path;
    return n;
}

// The probe on a typed page that names file as its video; true once it ended.
bool probePageNaming(testweb::Server &server, const QByteArray &page, const QString &file)
{
    server.on("www.example.com", page, [file](const testweb::Request &) {
        return testweb::Response::html("<meta property=\"og:video\" content=\"" + file.toLatin1() + "\">");
    });
    VideoProbe probe;
    probe.setStallTimeout(3000);
    std::optional<ProbeResult> got;
    QObject::connect(&probe, &VideoProbe::finished, [&](const ProbeResult &r) { got = r; });
    if (!probe.start(QString::fromLatin1("http://www.example.com" + page)))
        return false;
    return QTest::qWaitFor([&] { return got.has_value(); }, 20000);
}

// The queue's transfer of address: how it failed, if it did.
net::Failure transfer(const QString &address)
{
    QTemporaryDir dir;
    Transfer t;
    QSignalSpy finished(&t, &Transfer::finished);
    if (!t.start(QUrl(address), dir.filePath(QStringLiteral("v.mp4"))) || !finished.wait(15000))
        return net::fail(net::Reason::Other, net::Cause::SystemSaid, QStringLiteral("did not end"));
    return finished.at(0).at(0).value<net::Failure>();
}

// Keeps the body of an answer.
class BodyKeeper : public net::Receiver
{
public:
    bool head(const HttpHead &, const QUrl &) override { return true; }
    bool body(const char *data, qsizetype length) override
    {
        bytes.append(data, length);
        return bytes.size() < 1 << 20;
    }
    QByteArray bytes;
};

// A fetch of address by the HTTP client, with name resolving to
// 127.0.0.1 as if the system's resolver said so.
net::Outcome fetchResolving(const QString &address, const QByteArray &nameAndPort, bool userNamed, QByteArray *body)
{
    net::Request request;
    request.url = QUrl(address);
    request.userNamed = userNamed;
    request.totalMs = 15000;
    request.resolveAs = {nameAndPort + ":127.0.0.1"};
    BodyKeeper keeper;
    std::atomic<bool> cancel{false}, ended{false};
    net::HttpClient client;
    net::Outcome outcome;
    // On a thread of its own: the local web answers on this one.
    std::thread fetch([&] {
        outcome = client.perform(request, keeper, cancel);
        ended = true;
    });
    if (!QTest::qWaitFor([&] { return ended.load(); }, 20000))
        cancel = true;
    fetch.join();
    *body = keeper.bytes;
    return outcome;
}

} // namespace

class TestAddressRule : public QObject
{
    Q_OBJECT
private slots:
    void judgement_data();
    void judgement();
    void everyWayAnAddressComes_data();
    void everyWayAnAddressComes();
    void nameResolvingToThisMachine();
};

void TestAddressRule::judgement_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("refused");
    const QList<QPair<const char *, bool>> rows = {
        {"127.0.0.1", true},        {"127.255.0.9", true},    {"10.0.0.7", true},
        {"172.16.0.1", true},       {"172.31.255.255", true}, {"172.32.0.1", false},
        {"192.168.1.5", true},      {"100.64.0.1", true},     {"100.127.255.255", true},
        {"100.128.0.1", false},     {"169.254.169.254", true}, {"224.0.0.1", true},
        {"239.255.255.250", true},  {"255.255.255.255", true}, {"0.0.0.0", true},
        {"0.1.2.3", true},          {"93.184.216.34", false}, {"8.8.8.8", false},
        {"::1", true},              {"::", true},             {"fe80::1", true},
        {"fc00::1", true},          {"fd12:3456::1", true},   {"ff02::1", true},
        {"::ffff:10.0.0.1", true},  {"::ffff:127.0.0.1", true}, {"::127.0.0.1", true},
        {"::ffff:8.8.8.8", false},  {"::8.8.8.8", false},     {"2606:4700::1111", false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first) << row.second;
}

void TestAddressRule::judgement()
{
    QFETCH(QString, address);
    QFETCH(bool, refused);
    const QHostAddress parsed(address);
    QVERIFY(!parsed.isNull());
    QCOMPARE(isPrivateAddress(parsed), refused);
    QCOMPARE(privateAsSocketAddress(parsed), refused);
    QCOMPARE(isInternalHost(address), refused);
}

void TestAddressRule::everyWayAnAddressComes_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("isPrivate");
    const QList<QPair<const char *, bool>> hosts = {
        {"10.0.0.7", true},      {"169.254.169.254", true}, {"127.0.0.1:9", true},
        {"[::1]", true},         {"[::127.0.0.1]", true},   {"[::ffff:10.0.0.1]", true},
        {"100.64.1.1", true},    {"224.0.0.1", true},       {"255.255.255.255", true},
        {"0.0.0.0", true},       {"[fd00::5]", true},       {"192.168.1.5", true},
        {"localhost", true},     {"cam.localhost", true},   {"172.32.0.1", false},
        {"cdn.example.org", false},
    };
    for (const char *way : {"page", "redirect", "typed"})
        for (const auto &h : hosts)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(way, h.first)))
                << QString::fromLatin1(way) << QString::fromLatin1(h.first) << h.second;
}

void TestAddressRule::everyWayAnAddressComes()
{
    QFETCH(QString, way);
    QFETCH(QString, host);
    QFETCH(bool, isPrivate);
    test::LocalWeb web;
    QVERIFY(web.ok());
    // A path of its own per row, so the log shows this row's request only.
    const QByteArray asked = "/files/" + QByteArray::number(qHash(QByteArray(QTest::currentDataTag()))) + ".mp4";
    const QString file = QStringLiteral("http://") + host + QString::fromLatin1(asked);
    const bool refused = isPrivate && way != QLatin1String("typed");
    if (way == QLatin1String("page")) {
        QVERIFY(probePageNaming(web.server(), "/page", file));
    } else if (way == QLatin1String("redirect")) {
        web.server().on("www.example.com", "/moved", [file](const testweb::Request &) {
            return testweb::Response::redirect(file.toLatin1());
        });
        const net::Failure error = transfer(QStringLiteral("http://www.example.com/moved"));
        QCOMPARE(error.cause == net::Cause::RedirectRefused, refused);
        QCOMPARE(error.detail.startsWith(QLatin1String("http://")), refused);
    } else {
        QVERIFY(transfer(file).failed()); // nothing is there: the server answers 404
    }
    QCOMPARE(requestsFor(web.server(), asked) > 0, !refused);
}

// A name that resolves to this machine is judged by the address it leads
// to, where the connection is made: no proxy here, the local web is asked
// directly at 127.0.0.1. The name resolves there through the client's own
// table of names (as a line in /etc/hosts would make it), so the test
// changes nothing of the system's.
void TestAddressRule::nameResolvingToThisMachine()
{
    const QByteArray name = "vidrona-inside.test";
    testweb::Server server;
    QVERIFY(server.listen());
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    const QByteArray nameAndPort = name + ':' + QByteArray::number(server.port());
    const QString file = QStringLiteral("http://%1/v.mp4").arg(QString::fromLatin1(nameAndPort));
    server.on(name, "/v.mp4", [](const testweb::Request &) { return testweb::Response::bytes("clip", "video/mp4"); });

    // Typed, the name is the user's to reach.
    QByteArray body;
    const net::Outcome typed = fetchResolving(file, nameAndPort, true, &body);
    QVERIFY2(!typed.failure.failed(), vidrona::test::describe(typed.failure).constData());
    QCOMPARE(body, QByteArray("clip"));
    QCOMPARE(requestsFor(server, "/v.mp4"), 1);

    // Named by a page or a redirect: refused at the connection.
    const net::Outcome named = fetchResolving(file, nameAndPort, false, &body);
    QCOMPARE(named.failure.reason, net::Reason::AddressRefused);
    QCOMPARE(named.failure.cause, net::Cause::AddressRefused);
    QCOMPARE(named.failure.detail, QStringLiteral("127.0.0.1"));
    QVERIFY(body.isEmpty());
    QCOMPARE(requestsFor(server, "/v.mp4"), 1);
}

QTEST_GUILESS_MAIN(TestAddressRule)
#include "tst_addressrule.moc"
