// A streamed video's subtitles, against clips the ffmpeg program makes and
// WebVTT the test writes, served by the local web: an HLS master's
// SUBTITLES renditions (pieces, a cue cut over two of them, a timestamp
// map) and a DASH manifest's text set, saved beside as SubRip or inside as
// timed text read back by libavformat; what cannot be had leaves the video
// whole and says why, up to the row's Progress cell; a resume takes the
// languages its record names. A site's subtitles as yt-dlp lists them are
// saved beside the file its chosen format makes.
#include "../queuerun.h"
#include "../streams/streamsite.h"
#include "download/engine/record.h"
#include "download/sitevideo/sitefetch.h"
#include "download/streams/piecefolder.h"
#include "support/mediatools.h"
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include "support/testenv.h"
#include "ui/mainwindow/failuretexts.h"
#include <QtTest>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;
using namespace vidrona::download::service;

namespace {

const QByteArray HelloCue = "00:00.500 --> 00:01.500\nHello <b>there</b>\n\n";
const QByteArray LastCue = "00:02.000 --> 00:03.200\nSecond &amp; last\n\n";
const QByteArray Srt = "1\n00:00:00,500 --> 00:00:01,500\nHello there\n\n"
                       "2\n00:00:02,000 --> 00:00:03,200\nSecond & last\n\n";
const QByteArray SrtLate = "1\n00:00:01,500 --> 00:00:02,500\nHello there\n\n"
                           "2\n00:00:03,000 --> 00:00:04,200\nSecond & last\n\n";

// Where the first piece's clock starts, in 90 kHz ticks (ffmpeg's TS
// starts well after zero, as broadcast ones do).
qint64 clockStart(const QString &piece)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-show_entries", "format=start_time", "-of", "csv=p=0", piece}, &out);
    return qRound64(out.trimmed().toDouble() * 90000);
}

// Four WebVTT pieces of a second; the first cue runs over into the second
// piece, which repeats it, as packagers do. mpegTs >= 0: each piece maps
// its local zero to that tick.
void writeVttPieces(const QString &folder, const QString &name, qint64 mpegTs)
{
    const QByteArray head = mpegTs < 0 ? QByteArray("WEBVTT\n\n")
                                       : "WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:" + QByteArray::number(mpegTs)
                                             + ",LOCAL:00:00:00.000\n\n";
    const QList<QByteArray> bodies{HelloCue, HelloCue, LastCue, {}};
    QByteArray playlist = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    QDir().mkpath(QDir(folder).filePath(name));
    for (int i = 0; i < bodies.size(); ++i) {
        writeFile(QDir(folder).filePath(name), QStringLiteral("%1.vtt").arg(i), head + bodies.at(i));
        playlist += "#EXTINF:1.0,\n" + name.toLatin1() + '/' + QByteArray::number(i) + ".vtt\n";
    }
    writeFile(folder, name + ".m3u8", playlist + "#EXT-X-ENDLIST\n");
}

QByteArray master(const QByteArray &enPlaylist, const QByteArray &dePlaylist = "de.m3u8")
{
    return "#EXTM3U\n#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"English\",LANGUAGE=\"en\",URI=\"" + enPlaylist
           + "\"\n#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"subs\",NAME=\"Deutsch\",LANGUAGE=\"de\",URI=\"" + dePlaylist
           + "\"\n"
             "#EXT-X-STREAM-INF:BANDWIDTH=300000,RESOLUTION=160x120,SUBTITLES=\"subs\"\nv/index.m3u8\n";
}

// A four-second picture as TS pieces behind two masters; and as a DASH
// manifest with a WebVTT set in English and a TTML one in German.
bool makeSite(const QString &root)
{
    const QString hls = QDir(root).filePath("hls");
    QDir().mkpath(QDir(hls).filePath("v"));
    if (!runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=4", "-c:v",
                            "libx264", "-preset", "ultrafast", "-g", "10", "-f", "hls", "-hls_time", "1",
                            "-hls_playlist_type", "vod", QDir(hls).filePath("v/index.m3u8")}))
        return false;
    const qint64 start = clockStart(QDir(hls).filePath("v/index0.ts"));
    writeVttPieces(hls, "en", -1);
    writeVttPieces(hls, "late", start + 90000); // a second after the pictures start
    writeFile(hls, "master.m3u8", master("en.m3u8"));
    writeFile(hls, "master-late.m3u8", master("late.m3u8"));
    // German as a piece that is no WebVTT, and as a page that is no playlist.
    writeFile(hls, "master-notvtt.m3u8", master("en.m3u8", "de-notvtt.m3u8"));
    writeFile(hls, "de-notvtt.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4.0,\nde-notvtt.txt\n#EXT-X-ENDLIST\n");
    writeFile(hls, "de-notvtt.txt", "1\n00:00:00,000 --> 00:00:01,000\nHallo\n");
    writeFile(hls, "master-notlist.m3u8", master("en.m3u8", "de-page.html"));
    writeFile(hls, "de-page.html", "<html><body>Not here</body></html>\n");
    const QString dash = QDir(root).filePath("dash");
    QDir().mkpath(dash);
    if (!runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=4", "-c:v",
                            "libx264", "-preset", "ultrafast", "-g", "10", "-f", "dash", "-seg_duration", "1",
                            QDir(dash).filePath("index.mpd")}))
        return false;
    writeFile(dash, "en.vtt", "WEBVTT\n\n" + HelloCue + LastCue);
    QByteArray mpd = readFile(QDir(dash).filePath("index.mpd"));
    const qsizetype end = mpd.lastIndexOf("</Period>");
    mpd.insert(end, "<AdaptationSet contentType=\"text\" mimeType=\"text/vtt\" lang=\"en\"><Representation id=\"s1\" "
                    "bandwidth=\"256\"><BaseURL>en.vtt</BaseURL></Representation></AdaptationSet>"
                    "<AdaptationSet contentType=\"text\" mimeType=\"application/ttml+xml\" lang=\"de\"><Representation "
                    "id=\"s2\" bandwidth=\"256\"><BaseURL>de.ttml</BaseURL></Representation></AdaptationSet>\n");
    writeFile(dash, "index.mpd", mpd);
    writeFile(dash, "en-auto.vtt", "WEBVTT\n\n00:00.000 --> 00:01.000\nmachine words\n\n");
    return end > 0
           && runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=2",
                                 "-c:v", "libx264", "-preset", "ultrafast", QDir(root).filePath("clip.mp4")})
           && runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac",
                                 QDir(root).filePath("sound.m4a")});
}

struct TextStream {
    int streams = 0;
    AVCodecID codec = AV_CODEC_ID_NONE;
    QByteArray language;
    QByteArray firstText;
    qint64 firstMs = -1;       // the first cue's time
    qint64 pictureStartMs = 0; // where the picture starts (a muxer may move both)
};

// The file's first subtitle stream and its first cue, read by libavformat.
TextStream readTextStream(const QString &path)
{
    TextStream found;
    AVFormatContext *ctx = nullptr;
    if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return found;
    std::unique_ptr<AVFormatContext *, void (*)(AVFormatContext **)> closer(&ctx, avformat_close_input);
    avformat_find_stream_info(ctx, nullptr);
    found.streams = int(ctx->nb_streams);
    const int text = av_find_best_stream(ctx, AVMEDIA_TYPE_SUBTITLE, -1, -1, nullptr, 0);
    if (text < 0)
        return found;
    found.codec = ctx->streams[text]->codecpar->codec_id;
    const int picture = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (picture >= 0 && ctx->streams[picture]->start_time != AV_NOPTS_VALUE)
        found.pictureStartMs = av_rescale_q(ctx->streams[picture]->start_time, ctx->streams[picture]->time_base,
                                            AVRational{1, 1000});
    if (const AVDictionaryEntry *e = av_dict_get(ctx->streams[text]->metadata, "language", nullptr, 0))
        found.language = e->value;
    const int head = found.codec == AV_CODEC_ID_MOV_TEXT ? 2 : 0; // timed text: its length first
    AVPacket *packet = av_packet_alloc();
    while (av_read_frame(ctx, packet) >= 0) {
        const bool cue = packet->stream_index == text && packet->size > head;
        if (cue) {
            found.firstText = QByteArray(reinterpret_cast<const char *>(packet->data) + head, packet->size - head);
            found.firstMs = av_rescale_q(packet->pts, ctx->streams[text]->time_base, AVRational{1, 1000});
        }
        av_packet_unref(packet);
        if (cue)
            break;
    }
    av_packet_free(&packet);
    return found;
}

} // namespace

class TestSubtitles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void beside_data();
    void beside();
    void inside_data();
    void inside();
    void missed_data();
    void missed();
    void rowSaysWhatIsMissing();
    void recordKeepsTheLanguages();
    void siteSubtitles_data();
    void siteSubtitles();
    void siteSubtitlesInside_data();
    void siteSubtitlesInside();

private:
    FetchResult fetch(const QString &top, const QStringList &languages, bool inside, const QString &path);
    LocalWeb m_web;
    QTemporaryDir m_site;
    QTemporaryDir m_out;
    std::unique_ptr<FolderSite> m_folder;
};

void TestSubtitles::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_site.isValid() && m_out.isValid());
    QVERIFY(makeSite(m_site.path()));
    m_folder = std::make_unique<FolderSite>(m_web.server(), m_site.path());
}

FetchResult TestSubtitles::fetch(const QString &top, const QStringList &languages, bool inside, const QString &path)
{
    FetchJob job;
    job.url = QUrl(FolderSite::url(top));
    job.finalPath = path;
    job.subtitles = languages;
    job.subtitlesInside = inside;
    FetchShared shared;
    return fetchInThread(job, shared);
}

void TestSubtitles::beside_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<QByteArray>("srt");
    QTest::newRow("hls pieces") << "hls/master.m3u8" << Srt;
    QTest::newRow("hls, mapped a second late") << "hls/master-late.m3u8" << SrtLate;
    QTest::newRow("dash text set") << "dash/index.mpd" << Srt;
}

void TestSubtitles::beside()
{
    QFETCH(QString, top);
    QFETCH(QByteArray, srt);
    const QString path = QDir(m_out.path()).filePath(QStringLiteral("Beside %1.mp4").arg(QTest::currentDataTag()));
    const FetchResult result = fetch(top, {"en"}, false, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(result.subtitlesMissed.isEmpty());
    QVERIFY(QFileInfo(path).size() > 0);
    QCOMPARE(readFile(path.chopped(4) + ".en.srt"), srt);
    QCOMPARE(readTextStream(path).codec, AV_CODEC_ID_NONE); // nothing inside
}

void TestSubtitles::inside_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<qint64>("firstMs");
    QTest::addColumn<QByteArray>("srt"); // as ffmpeg decodes the stream
    QTest::newRow("hls pieces") << "hls/master.m3u8" << qint64(500) << Srt;
    QTest::newRow("hls, mapped a second late") << "hls/master-late.m3u8" << qint64(1500) << SrtLate;
    QTest::newRow("dash text set") << "dash/index.mpd" << qint64(500) << Srt;
}

void TestSubtitles::inside()
{
    QFETCH(QString, top);
    QFETCH(qint64, firstMs);
    QFETCH(QByteArray, srt);
    const QString path = QDir(m_out.path()).filePath(QStringLiteral("Inside %1.mp4").arg(QTest::currentDataTag()));
    const FetchResult result = fetch(top, {"en"}, true, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    const TextStream text = readTextStream(path);
    QCOMPARE(text.streams, 2); // the picture and the English
    QCOMPARE(text.codec, AV_CODEC_ID_MOV_TEXT);
    QCOMPARE(text.language, QByteArray("eng"));
    QCOMPARE(text.firstText, QByteArray("Hello there"));
    QCOMPARE(text.pictureStartMs, qint64(0));
    QCOMPARE(text.firstMs, firstMs);
    QVERIFY(!QFile::exists(path.chopped(4) + ".en.srt"));
    // A player's decoder reads every cue, at its time.
    const QString decoded = path.chopped(4) + ".decoded.srt";
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:s:0", "-y", decoded}));
    // (It writes the sample entry's style as font tags around each.)
    const QString plain = QString::fromUtf8(readFile(decoded)).remove(QRegularExpression("</?font[^>]*>"));
    QCOMPARE(plain.toUtf8().replace("\r\n", "\n"), srt);
}

void TestSubtitles::missed_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<QString>("why"); // in the missing one's words
    QTest::addColumn<bool>("whole");  // why is the whole sentence, not a part of it
    QTest::newRow("hls, German 404, beside") << "hls/master.m3u8" << QStringList{"en", "de"} << false << "404" << false;
    QTest::newRow("hls, German 404, inside") << "hls/master.m3u8" << QStringList{"en", "de"} << true << "404" << false;
    QTest::newRow("dash, German is TTML") << "dash/index.mpd" << QStringList{"en", "de"} << false << "TTML" << false;
    QTest::newRow("German not WebVTT") << "hls/master-notvtt.m3u8" << QStringList{"en", "de"} << false
                                       << "the subtitles are not WebVTT" << true;
    QTest::newRow("German no playlist") << "hls/master-notlist.m3u8" << QStringList{"en", "de"} << false
                                        << "This is not an HLS playlist." << true;
    QTest::newRow("French not offered") << "hls/master.m3u8" << QStringList{"en", "fr"} << false << "offers none" << false;
}

void TestSubtitles::missed()
{
    QFETCH(QString, top);
    QFETCH(QStringList, languages);
    QFETCH(bool, inside);
    QFETCH(QString, why);
    QFETCH(bool, whole);
    const QString path = QDir(m_out.path()).filePath(QStringLiteral("Missed %1.mp4").arg(QTest::currentDataTag()));
    const FetchResult result = fetch(top, languages, inside, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(QFileInfo(path).size() > 0);
    QCOMPARE(result.subtitlesMissed.size(), 1);
    QCOMPARE(result.subtitlesMissed.first().language, languages.last());
    const QString said = ui::mainwindow::failureText(result.subtitlesMissed.first().why);
    QVERIFY2(said.contains(why), qPrintable(said));
    if (whole)
        QCOMPARE(said, why);
    // The one that could be had is saved all the same.
    if (inside)
        QCOMPARE(readTextStream(path).firstText, QByteArray("Hello there"));
    else
        QCOMPARE(readFile(path.chopped(4) + ".en.srt"), Srt);
    QVERIFY(!QFile::exists(path.chopped(4) + "." + languages.last() + ".srt"));
}

// Through the queue and the window's words: COMPLETED, and the cell says
// which subtitles are missing and why; no failure box.
void TestSubtitles::rowSaysWhatIsMissing()
{
    QTemporaryDir folder;
    const QString path = writeOneRow(folder.path(), "Talk.mp4", FolderSite::url("hls/master.m3u8"), "PENDING");
    QueueRun run(folder.path());
    DownloadSettings settings = run.queue.settings();
    settings.subtitles = {"en", "de"};
    run.queue.apply(settings);
    QVERIFY(run.run());
    QCOMPARE(run.status(), QStringLiteral("COMPLETED"));
    QCOMPARE(run.list.at(0).progress,
             QStringLiteral("Completed, no subtitles (de): the server answered 404 Not Found for the subtitles"));
    QVERIFY(run.messages.calls.isEmpty());
    QVERIFY(QFileInfo(path).size() > 0);
    QCOMPARE(readFile(QDir(folder.path()).filePath("Talk.en.srt")), Srt);
}

// Kept pieces' record names the subtitles they were asked with: the fetch
// that takes them up saves those, whatever the job now says.
void TestSubtitles::recordKeepsTheLanguages()
{
    const QString path = QDir(m_out.path()).filePath("Resumed.mp4");
    const QString top = FolderSite::url("hls/master.m3u8");
    const streams::PieceFolder folder(path);
    QVERIFY(folder.make());
    engine::FetchRecord record;
    record.kind = engine::FetchRecord::Kind::Pieces;
    record.address = QUrl(top).toEncoded();
    record.digest = "an earlier playlist";
    record.pieces = 4;
    record.subtitles = "en inside";
    QVERIFY(engine::writeRecord(folder.recordPath(), record));
    const FetchResult result = fetch("hls/master.m3u8", {}, false, path);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QCOMPARE(readTextStream(path).firstText, QByteArray("Hello there"));
}

void TestSubtitles::siteSubtitles_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QByteArray>("srt"); // English, beside
    QTest::addColumn<QStringList>("missed"); // each "language: a word of why"
    QTest::newRow("a person's before automatic") << QStringList{"en"} << Srt << QStringList{};
    QTest::newRow("automatic alone, 404, json3")
        << QStringList{"en", "de", "fr"} << Srt << QStringList{"de: 404", "fr: JSON3"};
    QTest::newRow("none asked") << QStringList{} << QByteArray() << QStringList{};
}

void TestSubtitles::siteSubtitles()
{
    QFETCH(QStringList, languages);
    QFETCH(QByteArray, srt);
    QFETCH(QStringList, missed);
    sitevideo::Choice choice;
    sitevideo::Format clip;
    clip.id = "18";
    clip.url = FolderSite::url("clip.mp4");
    clip.protocol = "http";
    clip.ext = "mp4";
    clip.vcodec = "avc1";
    clip.acodec = "none";
    choice.parts = {clip};
    choice.container = "mp4";
    choice.subtitles = {{"en", "English", FolderSite::url("dash/en-auto.vtt"), "vtt", true},
                        {"en", "English", FolderSite::url("dash/en.vtt"), "vtt", false},
                        {"de", "Deutsch", FolderSite::url("dash/de-auto.vtt"), "vtt", true},
                        {"fr", "French", FolderSite::url("dash/fr.json3"), "json3", true}};
    const QString path = QDir(m_out.path()).filePath(QStringLiteral("Site %1.mp4").arg(QTest::currentDataTag()));
    FetchJob job;
    job.url = QUrl("http://www.rivertube.test/watch?v=yt1");
    job.finalPath = path;
    job.subtitles = languages;
    FetchShared shared;
    FetchResult result;
    QThread *thread = QThread::create([&] { result = sitevideo::runSiteVideoFetch(choice, job, shared); });
    thread->start();
    QVERIFY(QTest::qWaitFor([&] { return thread->isFinished(); }, 60000));
    delete thread;
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(QFileInfo(path).size() > 0);
    QCOMPARE(readFile(path.chopped(4) + ".en.srt"), srt);
    QStringList words;
    for (const SubtitleMiss &m : result.subtitlesMissed)
        for (const QString &w : missed)
            if (w.startsWith(m.language + ':') && ui::mainwindow::failureText(m.why).contains(w.section(": ", 1)))
                words << w;
    QCOMPARE(words, missed);
    QCOMPARE(result.subtitlesMissed.size(), missed.size());
}

void TestSubtitles::siteSubtitlesInside_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("codec");
    QTest::addColumn<QByteArray>("firstText");
    QTest::newRow("mp4: timed text") << "mp4" << int(AV_CODEC_ID_MOV_TEXT) << QByteArray("Hello there");
    // WebVTT as the site sent it, tags and all.
    QTest::newRow("mkv: WebVTT") << "mkv" << int(AV_CODEC_ID_WEBVTT) << QByteArray("Hello <b>there</b>");
}

// A picture and a sound joined anyway take the subtitles in.
void TestSubtitles::siteSubtitlesInside()
{
    QFETCH(QString, container);
    QFETCH(int, codec);
    QFETCH(QByteArray, firstText);
    sitevideo::Format picture, sound;
    picture.id = "137";
    picture.url = FolderSite::url("clip.mp4");
    picture.protocol = "http";
    picture.ext = "mp4";
    picture.vcodec = "avc1";
    picture.acodec = "none";
    sound = picture;
    sound.id = "140";
    sound.url = FolderSite::url("sound.m4a");
    sound.ext = "m4a";
    sound.vcodec = "none";
    sound.acodec = "mp4a.40.2";
    sitevideo::Choice choice;
    choice.parts = {picture, sound};
    choice.container = container;
    choice.subtitles = {{"en", "English", FolderSite::url("dash/en.vtt"), "vtt", false}};
    const QString path = QDir(m_out.path()).filePath("Site inside." + container);
    FetchJob job;
    job.url = QUrl("http://www.rivertube.test/watch?v=yt2");
    job.finalPath = path;
    job.subtitles = {"en"};
    job.subtitlesInside = true;
    FetchShared shared;
    FetchResult result;
    QThread *thread = QThread::create([&] { result = sitevideo::runSiteVideoFetch(choice, job, shared); });
    thread->start();
    QVERIFY(QTest::qWaitFor([&] { return thread->isFinished(); }, 60000));
    delete thread;
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData());
    QVERIFY(result.subtitlesMissed.isEmpty());
    const TextStream text = readTextStream(path);
    QCOMPARE(text.streams, 3);
    QCOMPARE(int(text.codec), codec);
    QCOMPARE(text.language, QByteArray("eng"));
    QCOMPARE(text.firstText, firstText);
    QCOMPARE(text.firstMs - text.pictureStartMs, qint64(500)); // Matroska moves both past the sound's priming
    QVERIFY(!QFile::exists(path.chopped(container.size() + 1) + ".en.srt"));
}

QTEST_MAIN(TestSubtitles)
#include "tst_subtitles.moc"
