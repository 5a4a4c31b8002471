// A page row whose format addresses expired is read again by the real
// yt-dlp (through the wrapper that hands it a site's answer) at Start:
// before the fetch when an expire= time is past, after a 403 when the site
// took the address back. The kept bytes continue when the same formats come
// back with the same size, and the row starts over when they do not.
#include "download/sitevideo/sitefetch.h"
#include "download/transfer.h"
#include "infofixtures.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/formatsreader.h"
#include "support/testenv.h"
#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::sitevideo;
using namespace vidrona::download;
namespace yi = vidrona::test::ytinfo;

namespace {
const QString page = "http://www.rivertube.test/watch?v=yt1";
const QString mediaBase = "http://media.rivertube.test/v";

qint64 sizeOf(testweb::Server &server, const QByteArray &path)
{
    testweb::Request r;
    r.method = "GET";
    r.host = "media.rivertube.test";
    r.path = path;
    r.headers = {{"X-Site-Token", "t0k3n"}};
    return server.respond(r).body.size();
}

// The formats as the wrapper's answer gives them, with another sig and expire.
Choice chosenWith(const QByteArray &fixture, const QString &sig, qint64 expire)
{
    Choice choice = choose(*parseInfo(fixture));
    for (Format &f : choice.parts)
        f.url = f.url.section('?', 0, 0) + QStringLiteral("?expire=%1&sig=%2").arg(expire).arg(sig);
    return choice;
}

// cancelEarly: cancelled once the first bytes came.
net::Failure runTransfer(Transfer &transfer, const Choice &choice, const QString &target, bool cancelEarly = false)
{
    transfer.setSiteVideo(choiceText(choice));
    QSignalSpy ended(&transfer, &Transfer::finished);
    if (!transfer.start(QUrl(page), target))
        return net::fail(net::Reason::WriteFailed, net::Cause::SystemSaid, "not started");
    if (cancelEarly) {
        for (int i = 0; i < 3000 && transfer.bytesReceived() <= (1 << 20) && ended.isEmpty(); ++i)
            QTest::qWait(20);
        transfer.Cancel();
    }
    if (!ended.wait(120000))
        return net::fail(net::Reason::WriteFailed, net::Cause::SystemSaid, "no end");
    return ended.first().first().value<net::Failure>();
}
} // namespace

class TestRenewal : public QObject
{
    Q_OBJECT
private slots:
    void readAgainAtStart_data();
    void readAgainAtStart();
};

void TestRenewal::readAgainAtStart_data()
{
    QTest::addColumn<QString>("oldSig");
    QTest::addColumn<qint64>("oldExpire");
    QTest::addColumn<qint64>("sizeChange"); // of the formats yt-dlp gives back
    QTest::addColumn<bool>("continued");
    const qint64 future = QDateTime::currentSecsSinceEpoch() + 6 * 3600;
    QTest::newRow("expire= past, same formats") << "abc" << qint64(1000000000) << qint64(0) << true;
    QTest::newRow("403 from the site, same formats") << "revoked" << future << qint64(0) << true;
    QTest::newRow("expire= past, other sizes: starts over") << "abc" << qint64(1000000000) << qint64(1) << false;
}

void TestRenewal::readAgainAtStart()
{
    QFETCH(QString, oldSig);
    QFETCH(qint64, oldExpire);
    QFETCH(qint64, sizeChange);
    QFETCH(bool, continued);
    test::LocalWeb web;
    QVERIFY(web.ok());
    testweb::installSimulatedWeb(web.server());
    const qint64 video = sizeOf(web.server(), "/v/video.mp4"), audio = sizeOf(web.server(), "/v/audio.m4a");
    QVERIFY(video > (4 << 20) && audio > 0);
    QTemporaryDir dir;
    const qint64 fresh = QDateTime::currentSecsSinceEpoch() + 6 * 3600;
    const QByteArray same = yi::youTubeLike(mediaBase, video, audio, 1 << 20, fresh);
    const QByteArray answer = yi::youTubeLike(mediaBase, video + sizeChange, audio + sizeChange, 1 << 20, fresh);
    const QString wrapper = yi::writeWrapper(dir.path(), test::writeFile(dir.path(), "info.json", answer));
    resolve::ytdlp::setSettings({wrapper, {}});
    const QString target = dir.filePath("River.mp4");

    // A first fetch, cancelled on its way: kept bytes for the next.
    Transfer first;
    const net::Failure cut = runTransfer(first, chosenWith(same, "abc", fresh), target, true);
    QCOMPARE(cut.reason, net::Reason::Cancelled);
    QVERIFY(!QFile::exists(dir.filePath("args.log"))); // nothing was read again

    Transfer again;
    again.setRowReader(std::make_shared<resolve::ytdlp::FormatsReader>());
    const net::Failure end = runTransfer(again, chosenWith(same, oldSig, oldExpire), target);
    QVERIFY2(!end.failed(), qPrintable(end.detail));
    QVERIFY(QFile::exists(dir.filePath("args.log"))); // yt-dlp was asked
    QVERIFY(QFile::exists(target));
    const qint64 total = video + audio;
    QVERIFY2(continued ? again.bytesFetched() < total : again.bytesFetched() >= total,
             qPrintable(QString("%1 of %2 bytes fetched").arg(again.bytesFetched()).arg(total)));
    resolve::ytdlp::setSettings({});
}

QTEST_MAIN(TestRenewal)
#include "tst_renewal.moc"
