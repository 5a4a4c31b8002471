// The transfer component against the local web: what ends as a file, what
// fails, and that a failure never leaves a partial file or harms an older one.
#include "download/transfer.h"
#include "support/testenv.h"
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
Q_DECLARE_METATYPE(testweb::Response)

namespace {
const QByteArray Host = "media.vidrona.test";
const QByteArray OlderFile = QByteArray(4000, 'o');

QString address(const QByteArray &path)
{
    return QString::fromLatin1("http://" + Host + path);
}
} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void busyThenCancelled();
    void idleBeforeFinishedIsHeard();

private:
    test::LocalWeb m_web;
};

void TestTransfer::initTestCase()
{
    QVERIFY(m_web.ok());
    m_web.server().on(Host, "/fixed/real.flv",
                      [](const testweb::Request &) { return testweb::Response::bytes("real file"); });
    m_web.server().onRedirectLoop(Host, "/fixed/loop.flv");
}

void TestTransfer::answers_data()
{
    using testweb::Response;
    QTest::addColumn<QString>("url");
    QTest::addColumn<Response>("response");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("content"); // when ok

    QTest::newRow("small body") << address("/a.flv") << Response::bytes("flv bytes") << true
                                << QByteArray("flv bytes");
    QTest::newRow("3 MiB streamed") << address("/big.flv") << Response::pattern(3 << 20) << true
                                    << testweb::Server::patternBytes(0, 3 << 20);
    Response noLength = Response::bytes("until the server closes");
    noLength.sendContentLength = false;
    QTest::newRow("no Content-Length") << address("/n.flv") << noLength << true
                                       << QByteArray("until the server closes");
    QTest::newRow("empty body") << address("/e.flv") << Response::bytes("") << true << QByteArray();
    Response trickle = Response::bytes(QByteArray(60, 't'));
    trickle.trickleMs = 25;
    trickle.trickleBytes = 2; // 750 ms in all, never 400 ms without a byte
    QTest::newRow("slow but steady") << address("/t.flv") << trickle << true << QByteArray(60, 't');
    QTest::newRow("one redirect") << address("/moved.flv")
                                  << Response::redirect("http://" + Host + "/fixed/real.flv") << true
                                  << QByteArray("real file");

    QTest::newRow("404 page") << address("/gone.flv") << Response::notFound() << false << QByteArray();
    QTest::newRow("500 page") << address("/err.flv") << Response::html("<b>oops</b>", 500) << false
                              << QByteArray();
    Response shortBody = Response::bytes(QByteArray(1000, 's'));
    shortBody.announcedLength = 5000;
    QTest::newRow("body shorter than announced") << address("/s.flv") << shortBody << false << QByteArray();
    Response dropped = Response::pattern(1 << 20);
    dropped.dropAfter = 300000;
    QTest::newRow("dropped mid-body") << address("/d.flv") << dropped << false << QByteArray();
    Response stalled = Response::pattern(1 << 20);
    stalled.stallAfterHeaders = true;
    QTest::newRow("stall after the head") << address("/st.flv") << stalled << false << QByteArray();
    Response silent = Response::bytes("never sent");
    silent.silent = true;
    QTest::newRow("no answer at all") << address("/q.flv") << silent << false << QByteArray();
    Response endless = Response::bytes("never reached");
    endless.endlessHeaders = true;
    QTest::newRow("head without end") << address("/h.flv") << endless << false << QByteArray();
    QTest::newRow("redirect loop") << address("/l.flv")
                                   << Response::redirect("http://" + Host + "/fixed/loop.flv") << false
                                   << QByteArray();
    QTest::newRow("not http") << QString("file:///etc/hostname") << Response() << false << QByteArray();
}

void TestTransfer::answers()
{
    QFETCH(QString, url);
    QFETCH(testweb::Response, response);
    QFETCH(bool, ok);
    QFETCH(QByteArray, content);
    m_web.server().on(Host, QUrl(url).path().toLatin1(),
                      [response](const testweb::Request &) { return response; });
    QTemporaryDir dir;
    const QString target = test::writeFile(dir.path(), "clip.flv", OlderFile);

    Transfer transfer;
    transfer.setStallTimeout(400);
    QSignalSpy finished(&transfer, &Transfer::finished);
    QVERIFY(transfer.start(QUrl(url), target));
    QVERIFY(finished.isEmpty()); // never from inside start()
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(!finished.at(0).at(0).value<net::Failure>().failed(), ok);
    QVERIFY(!transfer.StillExecuting());
    // The older file is not the transfer's own: it stays, and the new one
    // takes the next free name.
    QCOMPARE(test::readFile(target), OlderFile);
    const QString placed = dir.filePath("clip (2).flv");
    QCOMPARE(transfer.placedAt(), ok ? placed : QString());
    if (ok)
        QCOMPARE(test::readFile(placed), content);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             ok ? QStringList({"clip (2).flv", "clip.flv"}) : QStringList{"clip.flv"});
}

void TestTransfer::busyThenCancelled()
{
    testweb::Response slow = testweb::Response::pattern(100000);
    slow.trickleMs = 20;
    slow.trickleBytes = 100;
    m_web.server().on(Host, "/slow.flv", [slow](const testweb::Request &) { return slow; });
    QTemporaryDir dir;
    const QString target = test::writeFile(dir.path(), "slow.flv", OlderFile);

    Transfer transfer;
    QSignalSpy finished(&transfer, &Transfer::finished);
    QVERIFY(transfer.start(QUrl(address("/slow.flv")), target));
    QVERIFY(transfer.StillExecuting());
    QVERIFY(!transfer.start(QUrl(address("/slow.flv")), dir.filePath("second.flv")));
    QTRY_COMPARE(transfer.state(), Transfer::Receiving);
    QTRY_VERIFY(transfer.bytesFetched() > 0); // some body is in the temporary file now
    transfer.Cancel();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.size(), 1);
    QVERIFY(finished.at(0).at(0).value<net::Failure>().failed());
    QCOMPARE(test::readFile(target), OlderFile);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"slow.flv"});
}

// The window restarts the queue on a state change when the component is no
// longer busy; by then the result must be the next thing it hears.
void TestTransfer::idleBeforeFinishedIsHeard()
{
    m_web.server().on(Host, "/i.flv",
                      [](const testweb::Request &) { return testweb::Response::bytes("i"); });
    QTemporaryDir dir;
    Transfer transfer;
    QList<int> states;
    bool finishedSeen = false;
    bool busyWhenIdleSaid = true;
    connect(&transfer, &Transfer::stateChanged, this, [&](int s) {
        states << s;
        if (s == Transfer::Idle)
            busyWhenIdleSaid = transfer.StillExecuting() || finishedSeen;
    });
    connect(&transfer, &Transfer::finished, this, [&] { finishedSeen = true; });
    QVERIFY(transfer.start(QUrl(address("/i.flv")), dir.filePath("i.flv")));
    QTRY_VERIFY(finishedSeen);
    QVERIFY(!busyWhenIdleSaid);
    QCOMPARE(states.first(), int(Transfer::Requesting));
    QVERIFY(states.contains(Transfer::Receiving));
    QCOMPARE(states.last(), int(Transfer::Idle));
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
