// Choosing among a stream's several qualities: the rule on generic format
// descriptions (so any source's list can be fed to it), then real fetches
// from the local web of an HLS master with four variants and a DASH
// manifest with three representations, made by the ffmpeg program, each
// result decoded for its picture size; sound only fetches no picture; a
// fetch that continues kept pieces keeps their quality.
#include "ui/mainwindow/failuretexts.h"
#include "streamsite.h"
#include "download/streams/qualitychoice.h"
#include "support/testenv.h"
#include "ui/mainwindow/qualitytexts.h"
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::streams;
using namespace vidrona::test;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;

namespace {

// The height of the first picture stream of file; 0 when it has none.
int pictureHeight(const QString &file)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=height", "-of", "csv=p=0", file},
            &out);
    return out.trimmed().toInt();
}

// Four pictures (2160, 1080, 720 and 360 lines, one second each, the
// sound apart in a rendition of its own) behind one master; three
// pictures and a sound behind one manifest.
bool makeLadders(const QString &root)
{
    const QString hls = QDir(root).filePath("ladder");
    const QList<QPair<int, int>> sizes{{3840, 2160}, {1920, 1080}, {1280, 720}, {640, 360}};
    QByteArray master = "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"English\",LANGUAGE=\"en\","
                        "DEFAULT=YES,URI=\"a/index.m3u8\"\n";
    for (const auto &[w, h] : sizes) {
        const QString folder = QDir(hls).filePath(QStringLiteral("v%1").arg(h));
        QDir().mkpath(folder);
        if (!runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1x%2:rate=4:duration=2").arg(w).arg(h),
                                "-c:v", "libx264", "-preset", "ultrafast", "-g", "4", "-f", "hls", "-hls_time", "1",
                                "-hls_playlist_type", "vod", QDir(folder).filePath("index.m3u8")}))
            return false;
        master += QStringLiteral("#EXT-X-STREAM-INF:BANDWIDTH=%1,RESOLUTION=%2x%3,CODECS=\"avc1.640028,mp4a.40.2\","
                                 "FRAME-RATE=4,AUDIO=\"aud\"\nv%3/index.m3u8\n").arg(h * 4000).arg(w).arg(h).toLatin1();
    }
    QDir().mkpath(QDir(hls).filePath("a"));
    writeFile(hls, "master.m3u8", master);
    const QString dash = QDir(root).filePath("dash3");
    QDir().mkpath(dash);
    return runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac",
                              "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
                              QDir(hls).filePath("a/index.m3u8")})
           && runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=4:duration=2", "-f",
                                 "lavfi", "-i", "sine=frequency=440:duration=2", "-filter_complex",
                                 "[0:v]split=3[a][b][c];[b]scale=1280:720[b2];[c]scale=640:360[c2]", "-map", "[a]",
                                 "-map", "[b2]", "-map", "[c2]", "-map", "1:a", "-c:v", "libx264", "-preset",
                                 "ultrafast", "-g", "4", "-b:v:0", "3M", "-b:v:1", "2M", "-b:v:2", "1M", "-c:a", "aac",
                                 "-f", "dash", "-seg_duration", "1", "-use_template", "1", "-use_timeline", "0",
                                 QDir(dash).filePath("index.mpd")});
}

} // namespace

class TestQualityChoice : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init()
    {
        m_site->adjust = {};
        m_web.server().clearRequests();
    }
    void rule_data();
    void rule();
    void sources_data();
    void sources();
    void keys_data();
    void keys();
    void picked_data();
    void picked();
    void soundNeverBest_data();
    void soundNeverBest();
    void hlsLevels_data();
    void hlsLevels();
    void dashLevels_data();
    void dashLevels();
    void keptQuality();
    void soundAsMp3_data();
    void soundAsMp3();

private:
    FetchResult fetch(const QString &top, const QByteArray &quality, const QString &path);
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<FolderSite> m_site;
};

void TestQualityChoice::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_dir.isValid());
    QVERIFY(makeLadders(m_dir.path()));
    m_site = std::make_unique<FolderSite>(m_web.server(), m_dir.path());
}

FetchResult TestQualityChoice::fetch(const QString &top, const QByteArray &quality, const QString &path)
{
    FetchJob job;
    job.url = QUrl(FolderSite::url(top));
    job.finalPath = path;
    job.quality = quality;
    FetchShared progress;
    return fetchInThread(job, progress);
}

// Generic descriptions, as any source's list (a site's formats too) gives them.
void TestQualityChoice::rule_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("video"); // the index chosen
    QTest::addColumn<int>("sound");
    // 0: 1080 high rate, 1: 1080 low rate, 2: 720, 3: sound alone, 4: 240, 5: unknown height
    QTest::newRow("best") << QByteArray("best") << 0 << 3;
    QTest::newRow("up to 1440") << QByteArray("1440") << 0 << 3;
    QTest::newRow("up to 720") << QByteArray("720") << 2 << 3;
    QTest::newRow("up to 480") << QByteArray("480") << 4 << 3;
    QTest::newRow("unknown word: best") << QByteArray("4k") << 0 << 3;
}

void TestQualityChoice::rule()
{
    QFETCH(QByteArray, key);
    QFETCH(int, video);
    QFETCH(int, sound);
    const QList<Quality> list{{true, true, 1920, 1080, 30, "avc1", 5000000, -1, 60, {}},
                              {true, true, 1920, 1080, 30, "avc1", 3000000, -1, 60, {}},
                              {true, true, 1280, 720, 30, "avc1", 2000000, -1, 60, {}},
                              {false, true, 0, 0, 0, "mp4a.40.2", 128000, -1, 60, {}},
                              {true, true, 320, 240, 30, "avc1", 400000, -1, 60, {}},
                              {true, true, 0, 0, 0, {}, 100000, -1, 60, {}}};
    QCOMPARE(chooseVideo(list, QualityChoice::fromKey(key)), video);
    QCOMPARE(chooseSound(list), sound);
    // Nothing as small as asked: the smallest picture, never none.
    QCOMPARE(chooseVideo(list.mid(0, 3), QualityChoice{480, false}), 2);
    QCOMPARE(chooseVideo(list.mid(3, 1), {}), -1);
}

// What a master's or a manifest's own words say of each quality.
void TestQualityChoice::sources_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("described");
    QTest::addColumn<int>("soundAlone"); // chooseSound's index
    QTest::newRow("HLS master") << QByteArray(
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=2500000,RESOLUTION=1280x720,FRAME-RATE=29.970,"
        "CODECS=\"avc1.64001f,mp4a.40.2\"\nhi.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.5\"\nsound.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360\nlo.m3u8\n")
        << QStringList{"1280×720, 29.97 fps, avc1.64001f,mp4a.40.2, 2.5 Mb/s", "sound only, mp4a.40.5, 64 kb/s",
                       "640×360, 800 kb/s"} << 1;
    QTest::newRow("DASH manifest") << QByteArray(
        "<MPD mediaPresentationDuration=\"PT10S\"><Period>"
        "<AdaptationSet mimeType=\"video/mp4\" codecs=\"avc1.640028\" frameRate=\"30000/1001\">"
        "<SegmentTemplate media=\"$RepresentationID$-$Number$.m4s\" duration=\"2\" timescale=\"1\"/>"
        "<Representation id=\"v1\" bandwidth=\"4000000\" width=\"1920\" height=\"1080\"/>"
        "<Representation id=\"v2\" bandwidth=\"1000000\" width=\"640\" height=\"360\" frameRate=\"25\" codecs=\"avc1.4d401e\"/>"
        "</AdaptationSet><AdaptationSet mimeType=\"audio/mp4\" lang=\"de\" codecs=\"opus\">"
        "<SegmentTemplate media=\"$RepresentationID$-$Number$.m4s\" duration=\"2\" timescale=\"1\"/>"
        "<Representation id=\"a1\" bandwidth=\"96000\"/></AdaptationSet></Period></MPD>")
        << QStringList{"1920×1080, 29.97 fps, avc1.640028, 4.0 Mb/s, about 4.8 MB",
                       "640×360, 25 fps, avc1.4d401e, 1.0 Mb/s, about 1.2 MB", "sound only, opus, 96 kb/s, about 117.2 kB"}
        << 2;
}

void TestQualityChoice::sources()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, described);
    QFETCH(int, soundAlone);
    const QUrl at("http://media.vidrona.test/v/top");
    QList<Quality> qualities;
    if (text.startsWith("#EXTM3U")) {
        const HlsPlaylist p = readHlsPlaylist(text, at);
        QCOMPARE(p.kind, HlsPlaylist::Master);
        qualities = hlsQualities(p.master);
    } else {
        const DashManifest m = readDashManifest(text, at);
        QVERIFY2(m.refusal == Refusal::None, qPrintable(ui::mainwindow::failureText(m.why)));
        qualities = dashQualities(m);
    }
    QStringList got;
    for (const Quality &q : qualities)
        got << describeQuality(q);
    QCOMPARE(got, described);
    QCOMPARE(chooseSound(qualities), soundAlone);
    QCOMPARE(chooseVideo(qualities, {}), 0);
}

void TestQualityChoice::keys_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("label");
    QTest::newRow("best") << QByteArray("best") << QByteArray("best") << QString();
    QTest::newRow("2160") << QByteArray("2160") << QByteArray("2160") << "2160p";
    QTest::newRow("720, spaced") << QByteArray(" 720 ") << QByteArray("720") << "720p";
    QTest::newRow("sound") << QByteArray("Sound") << QByteArray("sound") << "sound";
    // Any height a picture may have: a quality picked from a list keeps its own.
    QTest::newRow("a height of its own") << QByteArray("1000") << QByteArray("1000") << "1000p";
    QTest::newRow("with a bound on the rate") << QByteArray("720@1500") << QByteArray("720@1500") << "720p 1500k";
    QTest::newRow("sound with a bound") << QByteArray("sound@64") << QByteArray("sound@64") << "sound 64k";
    QTest::newRow("no height") << QByteArray("0") << QByteArray("best") << QString();
    QTest::newRow("past any picture") << QByteArray("99999") << QByteArray("best") << QString();
    QTest::newRow("a bound of nothing") << QByteArray("720@0") << QByteArray("best") << QString();
    QTest::newRow("a bound not a number") << QByteArray("720@fast") << QByteArray("best") << QString();
    QTest::newRow("ask: for the window") << QByteArray("ask") << QByteArray("best") << QString();
}

// A line picked from a list becomes the choice that takes it again by
// the same rules, and the row's name keeps that choice.
void TestQualityChoice::picked_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("name");
    QTest::newRow("the best 1080") << 0 << QByteArray("1080") << "Talk (1080p).mp4";
    QTest::newRow("the lower 1080") << 1 << QByteArray("1080@3000") << "Talk (1080p 3000k).mp4";
    QTest::newRow("720") << 2 << QByteArray("720") << "Talk (720p).mp4";
    QTest::newRow("the better sound") << 3 << QByteArray("sound") << "Talk (sound).m4a";
    QTest::newRow("240") << 4 << QByteArray("240") << "Talk (240p).mp4";
    QTest::newRow("a size not told") << 5 << QByteArray("best@100") << "Talk (best 100k).mp4";
    QTest::newRow("the lesser sound") << 6 << QByteArray("sound@64") << "Talk (sound 64k).m4a";
}

void TestQualityChoice::picked()
{
    QFETCH(int, index);
    QFETCH(QByteArray, key);
    QFETCH(QString, name);
    const QList<Quality> list{{true, true, 1920, 1080, 30, "avc1", 5000000, -1, 60, {}},
                              {true, true, 1920, 1080, 30, "avc1", 3000000, -1, 60, {}},
                              {true, true, 1280, 720, 30, "avc1", 2000000, -1, 60, {}},
                              {false, true, 0, 0, 0, "mp4a.40.2", 128000, -1, 60, {}},
                              {true, true, 320, 240, 30, "avc1", 400000, -1, 60, {}},
                              {true, true, 0, 0, 0, {}, 100000, -1, 60, {}},
                              {false, true, 0, 0, 0, "mp4a.40.5", 64000, -1, 60, {}}};
    const QualityChoice choice = choiceFor(list, index);
    QCOMPARE(choice.key(), key);
    QCOMPARE(list[index].video ? chooseVideo(list, choice) : chooseSound(list, choice), index);
    QCOMPARE(nameWithChoice("Talk.mp4", choice), name);
    const QualityChoice again = choiceInName(name);
    QCOMPARE(again.key(), key);
    QCOMPARE(list[index].video ? chooseVideo(list, again) : chooseSound(list, again), index);
}

void TestQualityChoice::keys()
{
    QFETCH(QByteArray, word);
    QFETCH(QByteArray, key);
    QFETCH(QString, label);
    QCOMPARE(QualityChoice::fromKey(word).key(), key);
    QCOMPARE(QualityChoice::fromKey(word).label(), label);
}

// A variant whose CODECS name only sound is never the best picture, by the
// choice's rule as by the playlist reader's, whatever its bandwidth; when
// nothing else is offered the richest is taken.
void TestQualityChoice::soundNeverBest_data()
{
    QTest::addColumn<QByteArray>("soundCodecs");
    QTest::addColumn<bool>("pictureOffered");
    QTest::addColumn<QString>("chosen");
    for (const char *codecs : {"mp4a.40.2", "ac-4.02.01.01", "ec-3", "dtsc", "opus,flac"}) {
        QTest::newRow(codecs) << QByteArray(codecs) << true << "pic.m3u8";
        QTest::newRow((QByteArray(codecs) + ", nothing else").constData()) << QByteArray(codecs) << false
                                                                          << "rich.m3u8";
    }
}

void TestQualityChoice::soundNeverBest()
{
    QFETCH(QByteArray, soundCodecs);
    QFETCH(bool, pictureOffered);
    QFETCH(QString, chosen);
    const QByteArray other = pictureOffered ? "avc1.64001f,mp4a.40.2" : "mp4a.40.5";
    const QByteArray text = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=9000000,CODECS=\"" + soundCodecs + "\"\nrich.m3u8\n"
                            "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360,CODECS=\"" + other
                            + "\"\npic.m3u8\n";
    const HlsPlaylist p = readHlsPlaylist(text, QUrl("http://media.vidrona.test/v/top"));
    QCOMPARE(p.kind, HlsPlaylist::Master);
    for (const QByteArray &limit : {QByteArray("best"), QByteArray("1080")}) {
        const QList<QUrl> urls = hlsChoice(p.master, QualityChoice::fromKey(limit));
        QVERIFY(!urls.isEmpty());
        QCOMPARE(urls.first().fileName(), chosen);
    }
}

void TestQualityChoice::hlsLevels_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<int>("height"); // of the saved picture; 0: none
    QTest::newRow("best") << QByteArray("best") << 2160;
    QTest::newRow("up to 2160") << QByteArray("2160") << 2160;
    QTest::newRow("up to 1440") << QByteArray("1440") << 1080;
    QTest::newRow("up to 1080") << QByteArray("1080") << 1080;
    QTest::newRow("up to 720") << QByteArray("720") << 720;
    QTest::newRow("up to 480") << QByteArray("480") << 360;
    QTest::newRow("sound only") << QByteArray("sound") << 0;
}

void TestQualityChoice::hlsLevels()
{
    QFETCH(QByteArray, quality);
    QFETCH(int, height);
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath(height ? "clip.mp4" : "clip.m4a");
    const FetchResult result = fetch("ladder/master.m3u8", quality, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(pictureHeight(path), height);
    QCOMPARE(streamKinds(path), height ? QStringList({"audio", "video"}) : QStringList{"audio"});
    // Only the chosen picture's pieces were asked for; none for sound only.
    QSet<QByteArray> folders;
    for (const QByteArray &r : pieceRequests(m_web.server()))
        folders << r.split('/').value(2);
    const QSet<QByteArray> expected = height ? QSet<QByteArray>{"a", "v" + QByteArray::number(height)}
                                             : QSet<QByteArray>{"a"};
    QCOMPARE(folders, expected);
    QVERIFY(result.placedAt.endsWith(height ? ".mp4" : ".m4a"));
}

void TestQualityChoice::dashLevels_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("asked"); // the representations whose pieces were asked for
    QTest::newRow("best") << QByteArray("best") << 1080 << "03";
    QTest::newRow("up to 1080") << QByteArray("1080") << 1080 << "03";
    QTest::newRow("up to 720") << QByteArray("720") << 720 << "13";
    QTest::newRow("up to 480") << QByteArray("480") << 360 << "23";
    QTest::newRow("sound only") << QByteArray("sound") << 0 << "3";
}

void TestQualityChoice::dashLevels()
{
    QFETCH(QByteArray, quality);
    QFETCH(int, height);
    QFETCH(QString, asked);
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath(height ? "clip.mp4" : "clip.m4a");
    const FetchResult result = fetch("dash3/index.mpd", quality, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(pictureHeight(path), height);
    QCOMPARE(streamKinds(path), height ? QStringList({"audio", "video"}) : QStringList{"audio"});
    QSet<QChar> streams; // ffmpeg names the pieces "chunk-stream<id>-<n>.m4s", "init-stream<id>.m4s"
    for (const QByteArray &r : pieceRequests(m_web.server())) {
        const qsizetype at = r.indexOf("stream");
        QVERIFY2(at > 0, r.constData());
        streams << QChar::fromLatin1(r.at(at + 6));
    }
    QCOMPARE(streams, QSet<QChar>(asked.begin(), asked.end()));
}

// A fetch that failed part way kept its pieces and their quality: the next
// try saves that quality, whatever the settings say by then.
void TestQualityChoice::keptQuality()
{
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath("clip.mp4");
    m_site->adjust = [](const testweb::Request &r, testweb::Response &resp) {
        if (r.path.endsWith("/v720/index1.ts"))
            resp = testweb::Response::notFound();
    };
    QVERIFY(!fetch("ladder/master.m3u8", "720", path).ok());
    QVERIFY(QFileInfo::exists(QDir(out.path()).filePath(".clip.mp4.pieces/record")));
    QVERIFY(readFile(QDir(out.path()).filePath(".clip.mp4.pieces/record")).contains("\nquality 720\n"));
    m_site->adjust = {};
    m_web.server().clearRequests();
    const FetchResult again = fetch("ladder/master.m3u8", "best", path);
    QVERIFY2(again.ok(), vidrona::test::describe(again.failure).constData());
    QCOMPARE(pictureHeight(path), 720);
    for (const QByteArray &r : pieceRequests(m_web.server()))
        QVERIFY2(!r.contains("/v2160/"), r.constData());
}

// Sound only into an .mp3: the sound rendition alone is fetched and
// encoded (the ladder's is AAC).
void TestQualityChoice::soundAsMp3_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("asked"); // a path every piece asked for holds
    QTest::newRow("HLS sound rendition") << "ladder/master.m3u8" << "/ladder/a/";
    QTest::newRow("DASH sound representation") << "dash3/index.mpd" << "stream3";
}

void TestQualityChoice::soundAsMp3()
{
    QFETCH(QString, top);
    QFETCH(QString, asked);
    QTemporaryDir out;
    FetchJob job;
    job.url = QUrl(FolderSite::url(top));
    job.finalPath = QDir(out.path()).filePath("Talk (sound).mp3");
    job.quality = "sound";
    job.mp3Quality = 4;
    FetchShared progress;
    const FetchResult result = fetchInThread(job, progress);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(result.placedAt, job.finalPath);
    QByteArray codec;
    QVERIFY(runTool("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", job.finalPath},
                    &codec));
    QCOMPARE(codec.trimmed(), QByteArray("mp3"));
    QVERIFY2(qAbs(durationOf(job.finalPath) - 2.0) < 0.1, qPrintable(QString::number(durationOf(job.finalPath))));
    QCOMPARE(progress.encodedPermille.load(), -1); // over
    for (const QByteArray &r : pieceRequests(m_web.server()))
        QVERIFY2(r.contains(asked.toLatin1()), r.constData());
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Talk (sound).mp3"});
}

QTEST_GUILESS_MAIN(TestQualityChoice)
#include "tst_qualitychoice.moc"
