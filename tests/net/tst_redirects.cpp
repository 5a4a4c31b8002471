// Redirects: the rule for where one may lead, and every kind of fetch
// refusing one from a public site into a private network. The private
// address is reached only through the local web acting as proxy.
#include "net/pagerequest.h"
#include "net/addressrule.h"
#include "download/transfer.h"
#include "support/testenv.h"
#include "download/youtube/httptransfer.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::net;

class TestRedirects : public QObject
{
    Q_OBJECT
private slots:
    void rule_data();
    void rule();
    void everyFetchRefusesTheMetadataAddress_data();
    void everyFetchRefusesTheMetadataAddress();
};

void TestRedirects::rule_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("allowed");
    const QString site = "http://www.example.com/watch";
    QTest::newRow("another site") << site << "http://cdn.example.org/v.flv" << true;
    QTest::newRow("a path on the same site") << site << "/other?x=1" << true;
    QTest::newRow("up to https") << site << "https://www.example.com/" << true;
    QTest::newRow("172.32 is public") << site << "http://172.32.0.1/" << true;
    QTest::newRow("loopback") << site << "http://127.0.0.1:8080/" << false;
    QTest::newRow("loopback far in its range") << site << "http://127.200.1.1/" << false;
    QTest::newRow("localhost name") << site << "http://LocalHost./admin" << false;
    QTest::newRow("link-local metadata") << site << "http://169.254.169.254/latest/" << false;
    QTest::newRow("private 10") << site << "http://10.1.2.3/" << false;
    QTest::newRow("private 172.16") << site << "http://172.20.0.1/" << false;
    QTest::newRow("private 192.168") << site << "http://192.168.1.1/" << false;
    QTest::newRow("any address") << site << "http://0.0.0.0/" << false;
    QTest::newRow("IPv6 loopback") << site << "http://[::1]/" << false;
    QTest::newRow("IPv6 link-local") << site << "http://[fe80::1]/" << false;
    QTest::newRow("IPv6 unique local") << site << "http://[fd00::5]/" << false;
    QTest::newRow("IPv4 inside IPv6") << site << "http://[::ffff:169.254.169.254]/" << false;
    QTest::newRow("down to http") << "https://www.example.com/" << "http://www.example.com/" << false;
    QTest::newRow("a local file") << site << "file:///etc/passwd" << false;
    QTest::newRow("within a private network") << "http://192.168.1.1/" << "http://10.0.0.2/" << true;
}

void TestRedirects::rule()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, allowed);
    QCOMPARE(isRedirectAllowed(QUrl(from), QUrl(to)), allowed);
}

void TestRedirects::everyFetchRefusesTheMetadataAddress_data()
{
    QTest::addColumn<QString>("fetch");
    QTest::newRow("page") << "page";
    QTest::newRow("queue") << "queue";
    QTest::newRow("YouTube") << "YouTube";
}

void TestRedirects::everyFetchRefusesTheMetadataAddress()
{
    QFETCH(QString, fetch);
    test::LocalWeb web;
    web.server().on("www.example.com", "/v", [](const testweb::Request &) {
        return testweb::Response::redirect("http://169.254.169.254/latest/meta-data/");
    });
    web.server().onHost("169.254.169.254",
                        [](const testweb::Request &) { return testweb::Response::bytes("secret"); });
    const QUrl url("http://www.example.com/v");
    QTemporaryDir dir;
    const QString target = dir.filePath("v.flv");
    net::Failure error;
    if (fetch == "page") {
        error = test::fetchPage(url.toString(), true).failure;
    } else if (fetch == "queue") {
        Transfer transfer;
        QSignalSpy finished(&transfer, &Transfer::finished);
        QVERIFY(transfer.start(url, target));
        QVERIFY(finished.wait(10000));
        const auto failure = finished.at(0).at(0).value<net::Failure>();
        QVERIFY(failure.failed());
        error = failure;
    } else {
        youtube::HttpTransfer transfer;
        QSignalSpy done(&transfer, &youtube::HttpTransfer::done);
        QVERIFY(transfer.Execute(url.toString(), target));
        QVERIFY(done.wait(10000));
        QVERIFY(transfer.failed());
        QCOMPARE(transfer.GetChunk(100), QByteArray());
        error = transfer.fault().failure; // told as it is (ui/youtube/youtubetexts.cpp)
    }
    QCOMPARE(error.reason, net::Reason::RedirectRefused);
    QCOMPARE(error.cause, net::Cause::RedirectRefused);
    QCOMPARE(error.detail, QString("http://169.254.169.254")); // the site, without path or query
    QVERIFY(!QFile::exists(target));
    QCOMPARE(web.server().requests().size(), 1);
}

QTEST_MAIN(TestRedirects)
#include "tst_redirects.moc"
