// Streams in the shapes sites really serve them, fetched through the real
// file fetch from the local web and checked by decoding the saved file:
// playlists behind a CDN's redirect, playlists sent compressed, sound-only
// variants, gaps, DASH manifests as other packagers write them (prefixed
// elements, full ISO 8601 durations, BaseURL at every level, templates
// split over the levels, several periods), and fMP4 whose second half
// comes with an init section of its own.
#include "shapesite.h"
#include "download/streams/dashmanifest.h"
#include "support/testenv.h"
#include <QDir>
#include <QTemporaryDir>
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;

Q_DECLARE_METATYPE(vidrona::test::MpdForm)

class TestStreamShapes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        m_site->adjust = {};
        m_web.server().clearRequests();
    }
    void isoDurations_data();
    void isoDurations();
    void edgesAndPacking_data();
    void edgesAndPacking();
    void packedPastTheBound_data();
    void packedPastTheBound();
    void variants_data();
    void variants();
    void gaps_data();
    void gaps();
    void manifests_data();
    void manifests();
    void packedAudio_data();
    void packedAudio();
    void newInit_data();
    void newInit();

private:
    FetchResult fetch(const QString &url, FetchJob &job, const QTemporaryDir &out);
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<StreamClips> m_clips;
    std::unique_ptr<ShapeClips> m_shapes;
    std::unique_ptr<FolderSite> m_site;
};

void TestStreamShapes::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(m_dir.filePath("site")));
    m_clips = std::make_unique<StreamClips>(m_dir.filePath("site"));
    QVERIFY(m_clips->ok());
    m_shapes = std::make_unique<ShapeClips>(*m_clips);
    m_site = std::make_unique<FolderSite>(m_web.server(), m_clips->folder());
}

namespace {

QByteArray typeOf(const testweb::Response &resp)
{
    for (const auto &field : resp.headers)
        if (field.first.compare("Content-Type", Qt::CaseInsensitive) == 0)
            return field.second;
    return {};
}

void setType(testweb::Response &resp, const QByteArray &type)
{
    resp.headers.removeIf([](const auto &field) { return field.first.compare("Content-Type", Qt::CaseInsensitive) == 0; });
    resp.headers.append({"Content-Type", type});
}

// The times of a stream's packets, in the file's order.
QList<double> packetTimes(const QString &file, const char *kind)
{
    QByteArray out;
    if (!runTool("ffprobe", {"-v", "error", "-select_streams", kind, "-show_entries", "packet=pts_time", "-of",
                             "csv=p=0", file}, &out))
        return {};
    QList<double> times;
    for (const QByteArray &line : out.split('\n'))
        if (!line.trimmed().isEmpty())
            times << line.split(',').first().toDouble();
    return times;
}

} // namespace

FetchResult TestStreamShapes::fetch(const QString &url, FetchJob &job, const QTemporaryDir &out)
{
    job.url = QUrl(url);
    job.finalPath = QDir(out.path()).filePath("clip.mp4");
    FetchShared shared;
    return fetchInThread(job, shared);
}

void TestStreamShapes::isoDurations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("seconds");
    QTest::newRow("every field, zeros written") << "P0Y0M0DT0H0M20.000S" << 20.0;
    QTest::newRow("time only") << "PT1H2M3.5S" << 3723.5;
    QTest::newRow("days and hours") << "P1DT2H" << 93600.0;
    QTest::newRow("weeks") << "P2W" << 1209600.0;
    QTest::newRow("a decimal comma") << "PT20,5S" << 20.5;
    QTest::newRow("a month and a year") << "P1Y1M" << 395 * 86400.0;
    QTest::newRow("minutes, not months") << "PT1M" << 60.0;
    QTest::newRow("nothing after the T") << "PT" << -1.0;
    QTest::newRow("no P") << "T20S" << -1.0;
    QTest::newRow("empty") << "" << -1.0;
}

void TestStreamShapes::isoDurations()
{
    QFETCH(QString, text);
    QFETCH(double, seconds);
    QCOMPARE(streams::isoSeconds(text), seconds);
}

void TestStreamShapes::edgesAndPacking_data()
{
    QTest::addColumn<QString>("shape");  // a shape of streamsite.h
    QTest::addColumn<bool>("edge");      // asked at a CDN edge that redirects playlists to their origin
    QTest::addColumn<QByteArray>("coding"); // playlists and manifests sent packed so, asked or not
    QTest::addColumn<bool>("byType");    // at an address that does not say it is a stream
    QTest::newRow("master and media playlists behind a 302") << "master" << true << QByteArray() << false;
    QTest::newRow("keys beside a redirected playlist") << "aes" << true << QByteArray() << false;
    QTest::newRow("init sections beside a redirected playlist") << "cmaf" << true << QByteArray() << false;
    QTest::newRow("a manifest behind a 302") << "dash-number" << true << QByteArray() << false;
    QTest::newRow("a redirected playlist known by its type") << "ts" << true << QByteArray() << true;
    QTest::newRow("gzip playlists") << "master" << false << QByteArray("gzip") << false;
    QTest::newRow("a deflate playlist") << "ts" << false << QByteArray("deflate") << false;
    QTest::newRow("a br playlist") << "cmaf" << false << QByteArray("br") << false;
    QTest::newRow("a gzip manifest") << "dash-number" << false << QByteArray("gzip") << false;
    QTest::newRow("a gzip playlist known by its type") << "ts" << false << QByteArray("gzip") << true;
    QTest::newRow("gzip behind a 302") << "master" << true << QByteArray("gzip") << false;
}

// The edge answers playlists with a 302 to the origin and has no pieces:
// every relative address must be taken from where the playlist came from.
void TestStreamShapes::edgesAndPacking()
{
    QFETCH(QString, shape);
    QFETCH(bool, edge);
    QFETCH(QByteArray, coding);
    QFETCH(bool, byType);
    if (!coding.isEmpty() && !testweb::Response::canPack(coding))
        QSKIP("this build of the local web cannot pack with that coding");
    const QString top = m_clips->make(shape);
    QVERIFY(!top.isEmpty());
    m_site->adjust = [coding](const testweb::Request &r, testweb::Response &resp) {
        const bool text = r.path.endsWith(".m3u8") || r.path.endsWith(".mpd") || r.path.endsWith("/play");
        if (r.path.startsWith("/edge/")) {
            resp = text ? testweb::Response::redirect(r.path.mid(5)) : testweb::Response::notFound();
            return;
        }
        if (r.path.endsWith("/play") && resp.status == 200)
            setType(resp, "application/vnd.apple.mpegurl");
        if (!coding.isEmpty() && text && resp.status == 200) {
            const QByteArray type = typeOf(resp);
            resp = testweb::Response::packed(resp.body, coding);
            setType(resp, type);
        }
    };
    QString address = FolderSite::url((edge ? "edge/" : "") + top);
    if (byType) { // the playlist's own text at an address without .m3u8
        const QString from = QDir(m_clips->folder()).filePath(top);
        const QString play = QFileInfo(from).path() + "/play";
        QVERIFY(QFileInfo::exists(play) || QFile::copy(from, play));
        address = address.left(address.lastIndexOf('/')) + "/play";
    }
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(address, job, out);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(streamKinds(job.finalPath), QStringList({"audio", "video"}));
    QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()));
}

void TestStreamShapes::packedPastTheBound_data()
{
    QTest::addColumn<qint64>("unpacked"); // zero bytes a small gzip body unpacks to
    QTest::addColumn<QString>("why");
    const QString tooLarge = "The playlist is larger than 8 MB.";
    QTest::newRow("64 MB from a few kB") << qint64(64) * 1024 * 1024 << tooLarge;
    QTest::newRow("just past 8 MB") << qint64(8) * 1024 * 1024 + 1 << tooLarge;
    QTest::newRow("8 MB: read whole, then judged") << qint64(8) * 1024 * 1024 << "This is not an HLS playlist.";
}

// The bound on a playlist's text holds for what it unpacks to, not for
// the bytes sent.
void TestStreamShapes::packedPastTheBound()
{
    QFETCH(qint64, unpacked);
    QFETCH(QString, why);
    m_site->adjust = [unpacked](const testweb::Request &r, testweb::Response &resp) {
        if (r.path.endsWith("/bomb.m3u8"))
            resp = testweb::Response::gzipBomb(unpacked), setType(resp, "application/vnd.apple.mpegurl");
    };
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url("bomb.m3u8"), job, out);
    QCOMPARE(ui::mainwindow::failureText(result.failure), why);
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestStreamShapes::variants_data()
{
    QTest::addColumn<QString>("master"); // %1: the sound-only playlist, %2: the one with a picture
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QString>("name");
    const QString sound = "#EXT-X-STREAM-INF:BANDWIDTH=%1,CODECS=\"mp4a.40.2\"\n%2\n";
    const QString both = "#EXT-X-STREAM-INF:BANDWIDTH=%1,RESOLUTION=160x120,CODECS=\"avc1.f4000c,mp4a.40.2\"\n%2\n";
    QTest::newRow("sound only, the highest bandwidth, listed first")
        << "#EXTM3U\n" + sound.arg(9000000).arg("%1") + both.arg(800000).arg("%2")
        << QStringList{"audio", "video"} << "clip.mp4";
    QTest::newRow("sound only, the highest bandwidth, listed last")
        << "#EXTM3U\n" + both.arg(800000).arg("%2") + sound.arg(9000000).arg("%1")
        << QStringList{"audio", "video"} << "clip.mp4";
    QTest::newRow("nothing but sound offered") << "#EXTM3U\n" + sound.arg(64000).arg("%1")
                                               << QStringList{"audio"} << "clip (sound only).mp4";
    QTest::newRow("no CODECS said: the bandwidth decides")
        << "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100\n%1\n#EXT-X-STREAM-INF:BANDWIDTH=900000\n%2\n"
        << QStringList{"audio", "video"} << "clip.mp4";
}

// A variant whose CODECS hold no picture is never the best video; taken
// when nothing else is offered, the file's name says it has sound only.
void TestStreamShapes::variants()
{
    QFETCH(QString, master);
    QFETCH(QStringList, kinds);
    QFETCH(QString, name);
    const QString top = m_shapes->master(QString::number(qHash(master)), master);
    QVERIFY(!top.isEmpty());
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url(top), job, out);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(QFileInfo(result.placedAt).fileName(), name);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    QCOMPARE(streamKinds(result.placedAt), kinds);
}

void TestStreamShapes::gaps_data()
{
    QTest::addColumn<QList<int>>("gaps"); // pieces marked EXT-X-GAP, of the four
    QTest::addColumn<double>("start");    // where the picture starts in the file
    QTest::newRow("one in the middle") << QList<int>{1} << 0.0;
    QTest::newRow("two in a row") << QList<int>{1, 2} << 0.0;
    QTest::newRow("the very first") << QList<int>{0} << 1.0;
    QTest::newRow("the first two") << QList<int>{0, 1} << 2.0;
    QTest::newRow("the very last") << QList<int>{3} << 0.0;
    QTest::newRow("the last two") << QList<int>{2, 3} << 0.0;
}

// The pieces in a gap are not asked for; the others keep their time, so
// the file is as long as the playlist and the picture jumps, or, for a
// gap at the start, begins as late as the gap is long, or, for a gap at
// the end, stays on its last frame until the playlist's time is over.
void TestStreamShapes::gaps()
{
    QFETCH(QList<int>, gaps);
    QFETCH(double, start);
    QString name = "gaps";
    for (int g : gaps)
        name += QString::number(g);
    const QString top = m_shapes->withGaps(name, gaps);
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url(top), job, out);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    for (const QByteArray &asked : pieceRequests(m_web.server()))
        QVERIFY2(!asked.contains("missing"), asked.constData());
    const QByteArray all = frameSums(m_clips->reference());
    QList<QByteArray> kept = all.split('\n');
    kept.removeLast();
    kept.remove(gaps.first() * 10, gaps.size() * 10); // a piece is a second: ten frames
    QCOMPARE(frameSums(job.finalPath), kept.join('\n') + '\n');
    QVERIFY2(qAbs(durationOf(job.finalPath) - 4.0) < 0.3, qPrintable(QString::number(durationOf(job.finalPath))));
    const double picture = firstFrameSeconds(job.finalPath, "v");
    QVERIFY2(qAbs(picture - start) < 0.06, qPrintable(QString("the picture starts at %1 s").arg(picture)));
}

void TestStreamShapes::manifests_data()
{
    QTest::addColumn<MpdForm>("form");
    QTest::addColumn<int>("times");  // the clip is this many times in the video; 0: refused
    QTest::addColumn<QString>("why"); // for a refusal, a part of its words
    const MpdPeriod one{"p1", 0}, later{"p2", 4000000}, low{"low", 0};
    QTest::newRow("prefixed elements") << MpdForm{true, "PT4S", false, {one}} << 1 << QString();
    QTest::newRow("a duration with every field") << MpdForm{false, "P0Y0M0DT0H0M4.000S", false, {one}} << 1 << QString();
    QTest::newRow("BaseURL and SegmentTemplate over every level") << MpdForm{false, "PT4S", true, {one}} << 1 << QString();
    QTest::newRow("all of them at once") << MpdForm{true, "P0Y0M0DT0H0M4,0S", true, {one}} << 1 << QString();
    QTest::newRow("two periods, the second with its time offset")
        << MpdForm{false, "PT8S", false, {one, later}} << 2 << QString();
    QTest::newRow("two periods, prefixed and inherited")
        << MpdForm{true, "PT8S", true, {one, later}} << 2 << QString();
    QTest::newRow("a period of another picture size")
        << MpdForm{false, "PT8S", false, {one, low}} << 0 << "encoded differently";
}

void TestStreamShapes::manifests()
{
    QFETCH(MpdForm, form);
    QFETCH(int, times);
    QFETCH(QString, why);
    QVERIFY(m_shapes->dashPack("p1", m_clips->reference(), 0));
    QVERIFY(m_shapes->dashPack("p2", m_clips->reference(), 4));
    QVERIFY(m_shapes->dashPack("low", QDir(m_clips->folder()).filePath("low.mp4"), 0));
    const QString top = m_shapes->mpd(QString::number(qHash(QTest::currentDataTag())), form);
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url(top), job, out);
    if (times == 0) { // never a file with part of the video
        QVERIFY(!result.ok());
        QVERIFY2(ui::mainwindow::failureText(result.failure).contains(why), qPrintable(ui::mainwindow::failureText(result.failure)));
        QCOMPARE(result.failure.reason, net::Reason::NotTheVideo); // the same at every try
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
        return;
    }
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(streamKinds(job.finalPath), QStringList({"audio", "video"}));
    QVERIFY2(qAbs(durationOf(job.finalPath) - 4.0 * times) < 0.3, qPrintable(QString::number(durationOf(job.finalPath))));
    QVERIFY2(qAbs(firstFrameSeconds(job.finalPath)) < 0.05, qPrintable(QString::number(firstFrameSeconds(job.finalPath))));
    QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()).repeated(times));
}

void TestStreamShapes::packedAudio_data()
{
    QTest::addColumn<int>("version"); // of the ID3 tags that lead the pieces
    QTest::addColumn<double>("jump"); // a break in the sound after its second piece, as the tags say
    QTest::newRow("ID3v2.4 transportStreamTimestamp") << 4 << 0.0;
    QTest::newRow("ID3v2.3 transportStreamTimestamp") << 3 << 0.0;
    QTest::newRow("a break of 1.5 s between two pieces") << 4 << 1.5;
    QTest::newRow("a break of 0.5 s, ID3v2.3") << 3 << 0.5;
}

// Sound in .aac pieces against pictures in TS pieces: both start together
// in the file, as the ID3 timestamps place them, not the picture 1.4 s
// late; and a break between two pieces keeps its time, the sound after it
// as much later as their tags say.
void TestStreamShapes::packedAudio()
{
    QFETCH(int, version);
    QFETCH(double, jump);
    const QString top = m_shapes->packedAudio(version, jump);
    QVERIFY(!top.isEmpty());
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url(top), job, out);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(streamKinds(job.finalPath), QStringList({"audio", "video"}));
    const double picture = firstFrameSeconds(job.finalPath, "v"), sound = firstFrameSeconds(job.finalPath, "a");
    QVERIFY2(qAbs(picture - sound) < 0.06, qPrintable(QString("picture %1 s, sound %2 s").arg(picture).arg(sound)));
    QVERIFY2(qAbs(durationOf(job.finalPath) - 4.0 - jump) < 0.3, qPrintable(QString::number(durationOf(job.finalPath))));
    QCOMPARE(frameSums(job.finalPath), frameSums(m_clips->reference()));
    // The sound's longest pause between two packets is the break, where
    // the third piece begins, a packet (23 ms) included.
    const QList<double> times = packetTimes(job.finalPath, "a");
    QVERIFY(times.size() > 100);
    double longest = 0, at = 0, shortest = 1;
    for (qsizetype i = 1; i < times.size(); ++i) {
        shortest = qMin(shortest, times.at(i) - times.at(i - 1)); // no packet on another's time
        if (times.at(i) - times.at(i - 1) > longest)
            longest = times.at(i) - times.at(i - 1), at = times.at(i);
    }
    QVERIFY2(qAbs(longest - jump - 0.023) < 0.01, qPrintable(QString("%1 s at %2 s").arg(longest).arg(at)));
    QVERIFY2(shortest > 0.02, qPrintable(QString("two packets %1 s apart").arg(shortest)));
    if (jump > 0)
        QVERIFY2(qAbs(at - picture - 2.0 - jump) < 0.05, qPrintable(QString("%1 s at %2 s").arg(longest).arg(at)));
}

void TestStreamShapes::newInit_data()
{
    QTest::addColumn<QString>("second"); // the clip after the discontinuity
    QTest::addColumn<QStringList>("files");
    QTest::newRow("the same encoding, cut apart") << "again" << QStringList{"clip.mp4"};
    QTest::newRow("another encoding (an inserted advert)")
        << "other" << QStringList{"clip (part 1).mp4", "clip (part 2).mp4"};
}

// fMP4 pieces, a discontinuity, a new EXT-X-MAP and more pieces: one
// playable file when the second init section's streams can go on in the
// first one's tracks, else the part after it is a file of its own and the
// row's name says it is part 1: never a file whose second half cannot be
// read.
void TestStreamShapes::newInit()
{
    QFETCH(QString, second);
    QFETCH(QStringList, files);
    const QString again = QDir(m_clips->folder()).filePath("again.mp4");
    QVERIFY(QFileInfo::exists(again) || QFile::copy(m_clips->reference(), again));
    const QString other = m_shapes->otherEncoding();
    QVERIFY(QFileInfo::exists(other));
    const QString top = m_shapes->newInit("then-" + second, "reference", second);
    QVERIFY(!top.isEmpty());
    QTemporaryDir out;
    FetchJob job;
    const FetchResult result = fetch(FolderSite::url(top), job, out);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(QFileInfo(result.placedAt).fileName(), files.first());
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
    if (files.size() == 1) {
        QVERIFY2(qAbs(durationOf(result.placedAt) - 8.0) < 0.3, qPrintable(QString::number(durationOf(result.placedAt))));
        QCOMPARE(frameSums(result.placedAt), frameSums(m_clips->reference()).repeated(2));
        return;
    }
    const QString first = QDir(out.path()).filePath(files.at(0)), rest = QDir(out.path()).filePath(files.at(1));
    QCOMPARE(frameSums(first), frameSums(m_clips->reference()));
    QCOMPARE(frameSums(rest), frameSums(other));
    QCOMPARE(streamKinds(rest), QStringList({"audio", "video"}));
    QVERIFY2(qAbs(firstFrameSeconds(rest)) < 0.05, qPrintable(QString::number(firstFrameSeconds(rest))));
}

QTEST_GUILESS_MAIN(TestStreamShapes)
#include "tst_streamshapes.moc"
