// The formats yt-dlp chose for a page, fetched by Vidrona's own fetch over
// real loopback HTTP from the simulated video site: both formats at once,
// each request with the site's head fields and no range longer than the
// site's chunk size, joined by libavformat into one file with a picture and
// a sound; an expired address fails as the site refuses it; the kept choice
// is readable by its user only.
#include "download/sitevideo/sitefetch.h"
#include "download/transfer.h"
#include "support/mediatools.h"
#include "support/testenv.h"
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::sitevideo;
using namespace vidrona::download;

namespace {
const QString page = "http://www.rivertube.test/watch?v=yt1";
constexpr qint64 Chunk = 1 << 20;

Format format(const QString &id, const QString &path, const QString &vcodec, const QString &acodec, qint64 expire,
              bool withToken = true)
{
    Format f;
    f.id = id;
    f.url = QStringLiteral("http://media.rivertube.test/v/%1?expire=%2&sig=x").arg(path).arg(expire);
    f.protocol = path.endsWith(".m3u8") ? "m3u8_native" : "http";
    f.ext = path.section('.', -1) == "m3u8" ? "mp4" : path.section('.', -1);
    f.vcodec = vcodec;
    f.acodec = acodec;
    f.chunkSize = Chunk;
    f.headers = {{"User-Agent", "Mozilla/5.0 Vidrona-Test"}, {"Referer", "http://www.rivertube.test/"}};
    if (withToken)
        f.headers.append(qMakePair(QByteArray("X-Site-Token"), QByteArray("t0k3n")));
    if (path.startsWith("dash/")) { // fragments straight from the list, as yt-dlp gives them
        f.protocol = "http_dash_segments";
        f.ext = "mp4";
        f.url = "http://media.rivertube.test/v/dash/manifest.mpd";
        f.fragmentBaseUrl = "http://media.rivertube.test/v/dash/";
        f.fragments.append(Fragment{{}, "init.mp4"});
        for (int i = 1; i <= 4; ++i)
            f.fragments.append(Fragment{{}, QStringLiteral("seg-%1.m4s").arg(i)});
    }
    return f;
}

// The kinds of stream ffprobe finds in the file, "video,audio".
QString streamKinds(const QString &path)
{
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", path});
    probe.waitForFinished(30000);
    return QString::fromLatin1(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).join(',');
}

qint64 rangeLength(const QByteArray &range)
{
    const int dash = range.indexOf('-');
    if (!range.startsWith("bytes=") || dash < 0 || range.endsWith('-'))
        return -1;
    return range.mid(dash + 1).toLongLong() - range.mid(6, dash - 6).toLongLong() + 1;
}
// Runs the formats of choice into target through a row's transfer; the
// failure it ended with, and where the file went.
net::Failure fetchInto(const Choice &choice, const QString &target, QString *placedAt = nullptr)
{
    Transfer transfer;
    transfer.setStallTimeout(20000);
    transfer.setSiteVideo(choiceText(choice));
    QSignalSpy ended(&transfer, &Transfer::finished);
    if (!transfer.start(QUrl(page), target) || !ended.wait(120000))
        return net::fail(net::Reason::Other, net::Cause::None);
    if (placedAt)
        *placedAt = transfer.placedAt();
    return ended.first().first().value<net::Failure>();
}
} // namespace

class TestSiteVideo : public QObject
{
    Q_OBJECT
private slots:
    void fetchesTheChosenFormats_data();
    void fetchesTheChosenFormats();
    void aFragmentFailingOnceIsAskedAgain_data();
    void aFragmentFailingOnceIsAskedAgain();
    void keptChoiceIsPrivate();
};

void TestSiteVideo::fetchesTheChosenFormats_data()
{
    QTest::addColumn<QString>("videoPath");
    QTest::addColumn<QString>("audioPath");
    QTest::addColumn<qint64>("expire");
    QTest::addColumn<bool>("token");
    QTest::addColumn<QString>("kinds"); // empty: the fetch fails
    const qint64 later = 4102444800, past = 1000000000;
    QTest::newRow("https picture and sound") << "video.mp4" << "audio.m4a" << later << true << "video,audio";
    QTest::newRow("HLS picture and sound rendition") << "hls/video.m3u8" << "hls/audio.m3u8" << later << true << "video,audio";
    QTest::newRow("one format") << "video.mp4" << "" << later << true << "video";
    QTest::newRow("DASH fragments and a sound") << "dash/" << "audio.m4a" << later << true << "video,audio";
    QTest::newRow("DASH fragments alone") << "dash/" << "" << later << true << "video";
    QTest::newRow("expired address: 403") << "video.mp4" << "audio.m4a" << past << true << "";
    QTest::newRow("without the site's header: 403") << "video.mp4" << "audio.m4a" << later << false << "";
}

void TestSiteVideo::fetchesTheChosenFormats()
{
    QFETCH(QString, videoPath);
    QFETCH(QString, audioPath);
    QFETCH(qint64, expire);
    QFETCH(bool, token);
    QFETCH(QString, kinds);
    test::LocalWeb web;
    QVERIFY(web.ok());
    testweb::installSimulatedWeb(web.server());
    QTemporaryDir dir;
    Choice choice;
    choice.container = "mp4";
    choice.parts.append(format("137", videoPath, "avc1.640028", "none", expire, token));
    if (!audioPath.isEmpty())
        choice.parts.append(format("140", audioPath, "none", "mp4a.40.2", expire, token));
    const QString target = dir.filePath("River at night.mp4");
    QString placedAt;
    const net::Failure failure = fetchInto(choice, target, &placedAt);
    if (kinds.isEmpty()) {
        QVERIFY(failure.failed());
        QVERIFY2(failure.status == 403, vidrona::test::describe(failure).constData());
        QVERIFY(!QFile::exists(target));
        return;
    }
    QVERIFY2(!failure.failed(), vidrona::test::describe(failure).constData());
    QCOMPARE(placedAt, target);
    QCOMPARE(streamKinds(target), kinds);
    int media = 0, ranged = 0;
    for (const testweb::Request &r : web.server().requests()) {
        if (r.host != "media.rivertube.test" || r.path.startsWith("/v/hls/")) // the stream fetch sends no site fields yet
            continue;
        ++media;
        QCOMPARE(r.header("X-Site-Token"), QByteArray("t0k3n"));
        QCOMPARE(r.header("Referer"), QByteArray("http://www.rivertube.test/"));
        QCOMPARE(r.header("User-Agent"), QByteArray("Mozilla/5.0 Vidrona-Test"));
        QVERIFY2(rangeLength(r.header("Range")) <= Chunk, r.header("Range").constData());
        ranged += r.path == "/v/video.mp4" && rangeLength(r.header("Range")) > 0;
    }
    // The picture, larger than a connection's share, came over several ranges of the chunk size.
    if (videoPath == "video.mp4")
        QVERIFY2(ranged >= 4, qPrintable(QString::number(ranged)));
    QVERIFY(media >= (videoPath.contains("hls/") ? 0 : choice.parts.size()));
    // Nothing of the parts stays beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"River at night.mp4"});
}

void TestSiteVideo::aFragmentFailingOnceIsAskedAgain_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("503 once") << 503;
    QTest::newRow("404 once, as an edge that has not got it yet") << 404;
    QTest::newRow("410 once") << 410;
}

// A fragment whose first ask fails as a passing fault is asked again on
// its own while the others go on, and the file is the whole video.
void TestSiteVideo::aFragmentFailingOnceIsAskedAgain()
{
    QFETCH(int, status);
    test::LocalWeb web;
    QVERIFY(web.ok());
    testweb::installSimulatedWeb(web.server());
    QTemporaryDir dir;
    Choice choice;
    choice.container = "mp4";
    choice.parts.append(format("137", "dash/", "avc1.640028", "none", 4102444800));
    // The same fragments where none fails: the file to match.
    const QString reference = dir.filePath("reference.mp4");
    const net::Failure clean = fetchInto(choice, reference);
    QVERIFY2(!clean.failed(), vidrona::test::describe(clean).constData());
    const QByteArray key = QUuid::createUuid().toByteArray(QUuid::Id128);
    choice.parts[0].fragments[2].path += QStringLiteral("?failonce=%1&failstatus=%2").arg(QString::fromLatin1(key)).arg(status);
    const QString target = dir.filePath("River at night.mp4");
    web.server().clearRequests();
    const net::Failure failure = fetchInto(choice, target);
    QVERIFY2(!failure.failed(), vidrona::test::describe(failure).constData());
    int asked = 0;
    for (const testweb::Request &r : web.server().requests())
        asked += r.path == "/v/dash/seg-2.m4s";
    QVERIFY2(asked >= 2, qPrintable(QString::number(asked))); // the failed ask and the one after it
    const QByteArray frames = test::frameSums(target);
    QVERIFY(!frames.isEmpty());
    QCOMPARE(frames, test::frameSums(reference));
}

void TestSiteVideo::keptChoiceIsPrivate()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("a.mp4");
    Choice choice;
    choice.container = "mp4";
    choice.parts.append(format("137", "video.mp4", "avc1", "none", 1));
    QVERIFY(keepChoice(target, page, choiceText(choice)));
    const QFile::Permissions modes = QFile::permissions(choicePath(target));
    QVERIFY(modes & QFile::ReadOwner);
    QVERIFY(!(modes & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    const std::optional<Choice> back = parseChoice(keptChoiceText(target));
    QVERIFY(back);
    QCOMPARE(back->parts, choice.parts);
    dropChoice(target);
    QVERIFY(!QFile::exists(choicePath(target)));
}

QTEST_MAIN(TestSiteVideo)
#include "tst_sitevideo.moc"
