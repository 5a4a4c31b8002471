// A name belongs to one fetch at a time: a second fetch of a name another
// running fetch holds takes the next free one, so no two fetches write into
// the same kept bytes. The choice itself as a table, then two rows of one
// name at once, and the YouTube window's transfer beside a row of the
// queue, over loopback HTTP; the YouTube window's file is tried again as a
// row is.
#include "download/engine/nameclaims.h"
#include "download/engine/record.h"
#include "download/entrystatus.h"
#include "download/keptbytes.h"
#include "download/youtube/httptransfer.h"
#include "support/testenv.h"
#include "queuerun.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::service;
using download::engine::NameClaim;
using download::engine::NameClaims;
using testweb::Response;

Q_DECLARE_METATYPE(testweb::Response)
Q_DECLARE_METATYPE(QList<testweb::Response>)

namespace {
const QByteArray Host = "media.vidrona.test";
constexpr qint64 Size = 256 << 10;

// A slow body of its own for each address: version shifts the pattern, so
// one file holding the other's bytes shows.
testweb::Handler slowVersion(qint64 version)
{
    return [version](const testweb::Request &req) {
        Response r = Response::ranged(req, Size, "\"v" + QByteArray::number(version) + '"', version);
        r.trickleMs = 10;
        r.trickleBytes = 8192;
        return r;
    };
}

bool holdsVersion(const QString &path, qint64 version)
{
    return test::readFile(path) == testweb::Server::patternBytes(version, Size);
}

// Nothing of either fetch is left beside the files.
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({"*.part", "*.partinfo", "*.pieces"}, QDir::Files | QDir::Dirs | QDir::Hidden);
}
} // namespace

class TestNameClaims : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void releasedWithItsFetch();
    void twoRowsOfOneName();
    void youtubeBesideARow();
    void youtubeRunsAsARow_data();
    void youtubeRunsAsARow();
    void youtubeRetriedAsARow_data();
    void youtubeRetriedAsARow();
};

void TestNameClaims::choice_data()
{
    QTest::addColumn<bool>("heldByAnother");
    QTest::addColumn<QStringList>("files");      // in the folder before the claim
    QTest::addColumn<QStringList>("takenNames"); // other rows' names
    QTest::addColumn<QString>("expected");
    QTest::newRow("free: its own name") << false << QStringList() << QStringList() << "v.flv";
    QTest::newRow("free, a file there: still its own (placing moves on)") << false << QStringList{"v.flv"}
                                                                          << QStringList() << "v.flv";
    QTest::newRow("held: the next") << true << QStringList() << QStringList() << "v (2).flv";
    QTest::newRow("held, next is a file") << true << QStringList{"v (2).flv"} << QStringList() << "v (3).flv";
    QTest::newRow("held, next is a row's") << true << QStringList() << QStringList{"v (2).flv"} << "v (3).flv";
    QTest::newRow("held, next keeps another's bytes") << true << QStringList{"v (2).flv.part"} << QStringList()
                                                      << "v (3).flv";
    QTest::newRow("held, next keeps another's pieces") << true << QStringList{".v (2).flv.pieces/"}
                                                       << QStringList() << "v (3).flv";
    QTest::newRow("held, next keeps this address's bytes") << true << QStringList{"v (2).flv.part", "own record"}
                                                           << QStringList() << "v (2).flv";
}

void TestNameClaims::choice()
{
    QFETCH(bool, heldByAnother);
    QFETCH(QStringList, files);
    QFETCH(QStringList, takenNames);
    QFETCH(QString, expected);
    const QByteArray address = "http://media.vidrona.test/v/v.flv";
    QTemporaryDir dir;
    for (const QString &name : files) {
        if (name == "own record") {
            download::engine::FetchRecord r;
            r.address = address;
            r.etag = "\"e\"";
            QVERIFY(download::engine::writeRecord(dir.filePath("v (2).flv.partinfo"), r));
        } else if (name.endsWith('/')) {
            QVERIFY(QDir().mkdir(dir.filePath(name)));
        } else {
            test::writeFile(dir.path(), name, "x");
        }
    }
    const QString wanted = dir.filePath("v.flv");
    NameClaim other;
    if (heldByAnother)
        other = NameClaims::claim(wanted);
    QVERIFY(!heldByAnother || other.path() == wanted);
    const NameClaim claim = NameClaims::claim(wanted, takenNames, address);
    QVERIFY(claim.held());
    QCOMPARE(claim.path(), dir.filePath(expected));
    QVERIFY(NameClaims::isHeld(claim.path()));
}

void TestNameClaims::releasedWithItsFetch()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("r.flv");
    {
        NameClaim first = NameClaims::claim(path);
        QVERIFY(NameClaims::isHeld(path));
        NameClaim moved = std::move(first);
        QVERIFY(!first.held());
        QVERIFY(NameClaims::isHeld(path));
        QCOMPARE(NameClaims::claim(path).path(), dir.filePath("r (2).flv"));
        QVERIFY(!NameClaims::isHeld(dir.filePath("r (2).flv"))); // that claim went at once
    }
    QVERIFY(!NameClaims::isHeld(path));
    QCOMPARE(NameClaims::claim(path).path(), path);
}

// Two rows listed under one name, fetched at once: each file holds its
// own address's bytes, and neither row took the other's kept bytes.
void TestNameClaims::twoRowsOfOneName()
{
    test::LocalWeb web;
    web.server().on(Host, "/a/clip.flv", slowVersion(1));
    web.server().on(Host, "/b/clip.flv", slowVersion(2));
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List",
                    QStringLiteral("clip.flv\r\nhttp://media.vidrona.test/a/clip.flv\r\n%1\r\n"
                                   "clip.flv\r\nhttp://media.vidrona.test/b/clip.flv\r\n%1\r\n")
                        .arg(download::status::Pending).toUtf8());
    test::QueueRun run(dir.path());
    run.setSimultaneous(2);
    int mostAtOnce = 0;
    connect(&run.queue, &DownloadService::progressed, this, [&](int running) { mostAtOnce = qMax(mostAtOnce, running); });
    QVERIFY(run.run());
    QCOMPARE(mostAtOnce, 2);
    QCOMPARE(run.messages.calls.size(), 0);
    QCOMPARE(run.list.at(0).statusWord(), download::status::Completed);
    QCOMPARE(run.list.at(1).statusWord(), download::status::Completed);
    QVERIFY(run.list.at(0).fileName != run.list.at(1).fileName);
    QVERIFY(holdsVersion(dir.filePath(run.list.at(0).fileName), 1));
    QVERIFY(holdsVersion(dir.filePath(run.list.at(1).fileName), 2));
    QCOMPARE(leftovers(dir.path()), QStringList());
}

// The YouTube window's transfer and a queue row save under one name at
// once: each file is its own.
void TestNameClaims::youtubeBesideARow()
{
    test::LocalWeb web;
    web.server().on(Host, "/a/same.flv", slowVersion(3));
    web.server().on(Host, "/b/same.flv", slowVersion(4));
    QTemporaryDir dir;
    test::writeOneRow(dir.path(), "same.flv", "http://media.vidrona.test/a/same.flv", download::status::Pending);
    test::QueueRun run(dir.path());
    download::youtube::HttpTransfer window;
    window.setService(&run.queue);
    QSignalSpy windowDone(&window, &download::youtube::HttpTransfer::done);
    bool rowReceiving = false;
    connect(&run.queue, &DownloadService::rowProgressed, this,
            [&](quint64, const RowProgress &p) { rowReceiving = rowReceiving || p.bytes > 0; });
    run.start();
    QVERIFY(QTest::qWaitFor([&] { return rowReceiving; }, 10000));
    QVERIFY(window.Execute("http://media.vidrona.test/b/same.flv", dir.filePath("same.flv")));
    QVERIFY(run.wait());
    QVERIFY(!windowDone.isEmpty() || windowDone.wait(30000));
    QVERIFY2(!window.failed(), vidrona::test::describe(window.fault().failure).constData());
    QCOMPARE(run.status(), download::status::Completed);
    const QString rowFile = dir.filePath(run.list.at(0).fileName);
    QVERIFY(window.filePath() != rowFile);
    QVERIFY(holdsVersion(rowFile, 3));
    QVERIFY(holdsVersion(window.filePath(), 4));
    QCOMPARE(leftovers(dir.path()), QStringList());
}

void TestNameClaims::youtubeRunsAsARow_data()
{
    QTest::addColumn<int>("connections"); // as the Preferences set them
    QTest::newRow("one connection") << 1;
    QTest::newRow("four connections") << 4;
}

// The YouTube window's file is fetched over the connections the service
// gives the list's rows, not over a number of its own.
void TestNameClaims::youtubeRunsAsARow()
{
    QFETCH(int, connections);
    constexpr qint64 Big = 8 << 20; // worth splitting
    test::LocalWeb web;
    web.server().on(Host, "/b/big.flv", [](const testweb::Request &req) {
        Response r = Response::ranged(req, Big, "\"b\"");
        r.bytesPerSecond = 8 << 20;
        return r;
    });
    web.server().resetConnectionPeak();
    QTemporaryDir dir;
    test::writeOneRow(dir.path(), "other.flv", "http://media.vidrona.test/a/other.flv", download::status::Completed);
    test::QueueRun run(dir.path());
    DownloadSettings settings = run.queue.settings();
    settings.connections = connections;
    run.queue.apply(settings);
    download::youtube::HttpTransfer window;
    window.setService(&run.queue);
    QSignalSpy windowDone(&window, &download::youtube::HttpTransfer::done);
    QVERIFY(window.Execute("http://media.vidrona.test/b/big.flv", dir.filePath("big.flv")));
    QVERIFY(windowDone.wait(60000));
    QVERIFY2(!window.failed(), vidrona::test::describe(window.fault().failure).constData());
    QCOMPARE(test::readFile(window.filePath()), testweb::Server::patternBytes(0, Big));
    const qsizetype asked = web.server().requests().size();
    QVERIFY2(web.server().connectionPeak() <= connections,
             qPrintable(QStringLiteral("%1 connections at once").arg(web.server().connectionPeak())));
    if (connections == 1)
        QCOMPARE(asked, qsizetype(1));
    else
        QVERIFY2(asked > 1, "the file never came over several connections");
    QCOMPARE(leftovers(dir.path()), QStringList());
}

void TestNameClaims::youtubeRetriedAsARow_data()
{
    QTest::addColumn<QList<Response>>("answers"); // in turn; the last one repeats
    QTest::addColumn<QList<int>>("retryWaits");   // of the whole file
    QTest::addColumn<int>("reason");              // of its end
    Response cut = Response::pattern(Size);
    cut.dropAfter = 1000;
    Response headOnly = Response::pattern(Size);
    headOnly.dropAfter = 0;
    const Response busy = Response::html("busy", 503);
    const Response whole = Response::pattern(Size);
    QTest::newRow("reset before the body, then the file")
        << QList<Response>{headOnly, whole} << QList<int>{30} << int(net::Reason::None);
    QTest::newRow("reset, busy, then the file")
        << QList<Response>{headOnly, busy, whole} << QList<int>{30, 60} << int(net::Reason::None);
    QTest::newRow("reset every time: the tries run out")
        << QList<Response>{cut} << QList<int>{30, 60, 90} << int(net::Reason::BrokeOff);
    QTest::newRow("not found: not tried again")
        << QList<Response>{Response::notFound()} << QList<int>{} << int(net::Reason::HttpError);
}

// The same answers for a row of the queue and for the YouTube window's
// file: both are asked again after the same waits, and end alike.
void TestNameClaims::youtubeRetriedAsARow()
{
    QFETCH(QList<Response>, answers);
    QFETCH(QList<int>, retryWaits);
    QFETCH(int, reason);
    test::LocalWeb web;
    web.server().on(Host, "/row/r.flv", testweb::inTurn(answers));
    web.server().on(Host, "/window/w.flv", testweb::inTurn(answers));
    QTemporaryDir dir;
    test::writeOneRow(dir.path(), "r.flv", "http://media.vidrona.test/row/r.flv", download::status::Pending);
    test::QueueRun run(dir.path());
    run.queue.setRetryDelays({30, 60, 90});
    QList<int> rowWaits;
    connect(&run.queue, &DownloadService::rowRetrying, this, [&](quint64, int ms) { rowWaits << ms; });
    QList<net::Failure> rowEnds;
    connect(&run.queue, &DownloadService::rowEnded, this, [&](quint64, const net::Failure &f) { rowEnds << f; });
    QVERIFY(run.run());
    QCOMPARE(rowWaits, retryWaits);
    QCOMPARE(rowEnds.size(), 1);
    QCOMPARE(int(rowEnds.at(0).reason), reason);

    download::youtube::HttpTransfer window;
    window.setService(&run.queue);
    QList<int> windowWaits;
    connect(&window, &download::youtube::HttpTransfer::retrying, this, [&](int ms) { windowWaits << ms; });
    QSignalSpy windowDone(&window, &download::youtube::HttpTransfer::done);
    QVERIFY(window.Execute("http://media.vidrona.test/window/w.flv", dir.filePath("w.flv")));
    QVERIFY(windowDone.wait(30000));
    QCOMPARE(windowWaits, retryWaits);
    QCOMPARE(window.failed(), reason != int(net::Reason::None));
    if (reason == int(net::Reason::None))
        QCOMPARE(test::readFile(window.filePath()), testweb::Server::patternBytes(0, Size));
}

QTEST_MAIN(TestNameClaims)
#include "tst_nameclaims.moc"
