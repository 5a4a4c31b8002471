// Cancel while the bytes of a row arrive ends the fetch within 100 ms,
// however many connections it drives, and when the row is a site's picture
// and sound fetched at once (timing-sensitive: the bound is the point of
// the test, with room for a loaded machine).
#include "download/sitevideo/sitefetch.h"
#include "download/transfer.h"
#include "enginefixture.h"
#include <QTemporaryDir>
#include "support/testenv.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using testweb::Request;
using testweb::Response;

class TestEngineCancel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_web.ok()); }
    void cancelWhileBytesArrive_data();
    void cancelWhileBytesArrive();
    void cancelWhileAPairArrives_data();
    void cancelWhileAPairArrives();

private:
    test::LocalWeb m_web;
};

void TestEngineCancel::cancelWhileBytesArrive_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<bool>("stalled"); // one part's head came, then nothing
    QTest::newRow("one connection") << 1 << false;
    QTest::newRow("16 connections") << 16 << false;
    QTest::newRow("16 connections, one part waiting") << 16 << true;
}

void TestEngineCancel::cancelWhileBytesArrive()
{
    QFETCH(int, connections);
    QFETCH(bool, stalled);
    constexpr qint64 Size = 64 << 20;
    auto n = std::make_shared<int>(0);
    m_web.server().on(test::EngineHost, "/v/slow.bin", [=](const Request &r) {
        Response resp = Response::ranged(r, Size, "\"v1\"");
        resp.bytesPerSecond = 1 << 20;
        resp.stallAfterHeaders = stalled && ++*n == 3;
        return resp;
    });
    m_web.server().resetConnectionPeak();
    QTemporaryDir dir;
    FetchJob job;
    job.url = test::engineUrl("slow.bin");
    job.finalPath = dir.filePath("slow.bin");
    job.connections = connections;
    job.stallTimeoutMs = 60000;
    FetchShared shared;
    const test::CancelledFetch run = test::cancelWhenArriving(shared, [&] { return runFetch(job, shared); }, [&] {
        return shared.received > (2 << 20) && m_web.server().openConnections() >= qMin(connections, 3);
    });
    QVERIFY2(run.arrived, qPrintable(QStringLiteral("received %1, %2 open: %3").arg(qint64(shared.received))
                                         .arg(m_web.server().openConnections())
                                         .arg(QString::fromLatin1(test::describe(run.result.failure)))));
    QVERIFY(run.ended);
    QCOMPARE(run.result.failure.reason, net::Reason::Cancelled);
    QVERIFY2(run.ms <= 100, qPrintable(QStringLiteral("the fetch ended %1 ms after Cancel").arg(run.ms)));
    QVERIFY(!QFile::exists(job.finalPath));
}

void TestEngineCancel::cancelWhileAPairArrives_data()
{
    QTest::addColumn<bool>("soundKept"); // an earlier try left the whole sound
    QTest::newRow("both parts arriving") << false;
    QTest::newRow("the sound kept, the picture arriving") << true;
}

// A site's picture and sound run as two fetches on threads of their own;
// the row's cancel reaches both and the row returns within the same bound.
void TestEngineCancel::cancelWhileAPairArrives()
{
    QFETCH(bool, soundKept);
    constexpr qint64 Size = 32 << 20;
    for (const char *path : {"/v/picture.mp4", "/v/sound.m4a"})
        m_web.server().on(test::EngineHost, path, [=](const Request &r) {
            Response resp = Response::ranged(r, Size, "\"v1\"");
            resp.bytesPerSecond = 1 << 20;
            return resp;
        });
    QTemporaryDir dir;
    sitevideo::Choice choice;
    choice.container = "mp4";
    for (const auto &[id, name, vcodec, acodec] : {std::tuple{"137", "picture.mp4", "avc1", "none"},
                                                   std::tuple{"140", "sound.m4a", "none", "mp4a.40.2"}}) {
        sitevideo::Format f;
        f.id = id;
        f.url = test::engineUrl(name).toString();
        f.protocol = "https";
        f.ext = QString(name).section('.', -1);
        f.vcodec = vcodec;
        f.acodec = acodec;
        f.filesize = Size;
        f.sizeExact = true;
        choice.parts.append(f);
    }
    FetchJob job;
    job.url = QUrl("http://www.rivertube.test/watch?v=pair");
    job.finalPath = dir.filePath("pair.mp4");
    job.connections = 8;
    job.stallTimeoutMs = 60000;
    if (soundKept) {
        QFile sound(sitevideo::partPath(job.finalPath, choice.parts[1]));
        QVERIFY(sound.open(QIODevice::WriteOnly));
        QVERIFY(sound.resize(Size));
    }
    FetchShared shared;
    const qint64 before = soundKept ? Size : 0;
    const test::CancelledFetch run = test::cancelWhenArriving(
        shared, [&] { return sitevideo::runSiteVideoFetch(choice, job, shared); },
        [&] { return shared.received > before + (2 << 20); });
    QVERIFY(run.arrived);
    QVERIFY(run.ended);
    QCOMPARE(run.result.failure.reason, net::Reason::Cancelled);
    qInfo("the pair ended %lld ms after Cancel", run.ms);
    QVERIFY2(run.ms <= 100, qPrintable(QStringLiteral("the pair ended %1 ms after Cancel").arg(run.ms)));
    QVERIFY(!QFile::exists(job.finalPath));
}

QTEST_GUILESS_MAIN(TestEngineCancel)
#include "tst_enginecancel.moc"
