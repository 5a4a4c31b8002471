// yt-dlp asked beside Vidrona's own page reading, with the real Debian
// yt-dlp: site answers (handed to it with --load-info-json through a
// wrapper set as its program) win, generic ones leave the page reading
// to decide, addresses reach it only as addresses, and a cancel leaves
// no process of it behind.
#include "ui/mainwindow/refusaltexts.h"
#include "ui/mainwindow/failuretexts.h"
#include "infofixtures.h"
#include "resolve/resolvertable.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/ytdlpresolver.h"
#include "support/testenv.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace vidrona;
using namespace vidrona::resolve;
using namespace vidrona::resolve::ytdlp;
namespace yi = vidrona::test::ytinfo;

namespace {
// The words the window shows for a refusal.
QString told(const Answer &a)
{
    return ui::mainwindow::refusalText(a.refusal);
}
const QString mediaSite = "http://media.rivertube.test";
const QString page = "http://www.rivertube.test/watch?v=yt1";

Answer ask(ResolverTable &table, const QString &address, int waitMs = 90000)
{
    QSignalSpy spy(&table, &ResolverTable::answered);
    table.start({address, Quality::High});
    if (spy.isEmpty() && !spy.wait(waitMs))
        return Answer::refused(net::fail(net::Reason::Other, net::Cause::SystemSaid, "(no answer)"));
    return spy.first().first().value<Answer>();
}

QString partIds(const QByteArray &siteVideo)
{
    const auto choice = download::sitevideo::parseChoice(siteVideo);
    QStringList ids;
    if (choice)
        for (const auto &f : choice->parts)
            ids << f.id;
    return choice ? ids.join('+') + " " + choice->container : QString();
}

// No process of the group runs: none, or only ones that ended and wait to
// be reaped (a zombie runs nothing).
bool groupGone(qint64 group)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!pid.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' '); // state ppid pgrp ...
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z")
            return false;
    }
    return true;
}
} // namespace

class TestYtDlp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void siteAnswers_data();
    void siteAnswers();
    void tags_data();
    void tags();
    void genericPageLeftToPageReading_data();
    void genericPageLeftToPageReading();
    void addressesStayAddresses_data();
    void addressesStayAddresses();
    void cancelEndsItsProcesses_data();
    void cancelEndsItsProcesses();
    void withoutYtDlp_data();
    void withoutYtDlp();
    void updateAdvice_data();
    void updateAdvice();
    void playlists_data();
    void playlists();
    void subtitlesOffered_data();
    void subtitlesOffered();
    void refusalWords_data();
    void refusalWords();

private:
    QString useFixture(const QByteArray &json, bool sleepFirst = false);
    std::unique_ptr<test::LocalWeb> m_web;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestYtDlp::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    m_dir = std::make_unique<QTemporaryDir>();
    ytdlp::setSettings({});
}

void TestYtDlp::cleanup()
{
    ytdlp::setSettings({});
    m_web.reset();
}

QString TestYtDlp::useFixture(const QByteArray &json, bool sleepFirst)
{
    const QString fixture = test::writeFile(m_dir->path(), "info.json", json);
    const QString wrapper = yi::writeWrapper(m_dir->path(), fixture, sleepFirst);
    ytdlp::setSettings({wrapper, {}});
    return wrapper;
}

void TestYtDlp::siteAnswers_data()
{
    QTest::addColumn<QByteArray>("fixture");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("parts"); // format ids and container, or the refusal's start
    QTest::addColumn<QString>("fileName");
    const int found = Answer::Found, refused = Answer::Refused;
    QTest::newRow("YouTube-like: best mp4 picture and m4a sound")
        << yi::youTubeLike(mediaSite, 8 << 20, 1 << 20, 1 << 20) << found << "137+140 mp4" << "River at night: a film.mp4";
    QTest::newRow("Vimeo-like: HLS picture and sound rendition")
        << yi::vimeoLike(mediaSite) << found << "hls-720p+hls-audio mp4" << "Harbour, by boat.mp4";
    QTest::newRow("DASH fragments") << yi::dashFragments(mediaSite) << found << "dash-v mp4" << "Fragments of a walk.mp4";
    // yt-dlp itself refuses a video whose every format is under DRM, in its words.
    QTest::newRow("DRM refused") << yi::drmOnly(mediaSite) << refused << "yt-dlp: This video is DRM protected" << "";
    QTest::newRow("live refused") << yi::live(mediaSite) << refused << "This is a live stream" << "";
    QTest::newRow("rtmp refused by name") << yi::rtmpOnly(mediaSite) << refused << "This video is offered only over rtmp" << "";
}

void TestYtDlp::siteAnswers()
{
    QFETCH(QByteArray, fixture);
    QFETCH(int, outcome);
    QFETCH(QString, parts);
    QFETCH(QString, fileName);
    useFixture(fixture);
    ResolverTable table;
    const Answer answer = ask(table, page);
    QCOMPARE(int(answer.outcome), outcome);
    if (outcome == Answer::Refused) {
        QVERIFY2(told(answer).startsWith(parts), qPrintable(told(answer)));
        return;
    }
    QCOMPARE(answer.rows.size(), 1);
    QCOMPARE(answer.rows[0].fileUrl.section('?', 0, 0), QString("http://www.rivertube.test/watch"));
    QCOMPARE(partIds(answer.rows[0].siteVideo), parts);
    QCOMPARE(answer.rows[0].fileName.value_or(QString()), fileName);
    const auto choice = download::sitevideo::parseChoice(answer.rows[0].siteVideo);
    QVERIFY(choice);
    // Every header of the format is kept as given.
    if (fixture.contains("X-Site-Token"))
        QVERIFY(choice->parts[0].headers.contains({QByteArray("X-Site-Token"), QByteArray("t0k3n")}));
}

// What yt-dlp says of the video, through the real yt-dlp, becomes the
// row's tags: the artist (else the uploader), the date, the description,
// the page and a picture a file can carry.
void TestYtDlp::tags_data()
{
    QTest::addColumn<QJsonObject>("about");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("cover");
    const QString img = "http://img.rivertube.test/vi/yt1/";
    QTest::newRow("artist over uploader, a JPEG thumbnail")
        << QJsonObject{{"artist", "The Rivers"}, {"uploader", "River Channel"}, {"upload_date", "20240131"},
                       {"thumbnail", img + "max.jpg"}}
        << "The Rivers" << "2024-01-31" << img + "max.jpg";
    QTest::newRow("uploader; WebP best, a JPEG among the thumbnails")
        << QJsonObject{{"uploader", "River Channel"}, {"upload_date", "20231105"}, {"thumbnail", img + "max.webp"},
                       {"thumbnails", QJsonArray{QJsonObject{{"url", img + "hq.jpg"}, {"preference", -5}},
                                                 QJsonObject{{"url", img + "max.webp"}, {"preference", 0}}}}}
        << "River Channel" << "2023-11-05" << img + "hq.jpg";
    QTest::newRow("nothing said but the title") << QJsonObject{} << "" << "" << "";
}

void TestYtDlp::tags()
{
    QFETCH(QJsonObject, about);
    QFETCH(QString, artist);
    QFETCH(QString, date);
    QFETCH(QString, cover);
    QJsonObject info = QJsonDocument::fromJson(yi::youTubeLike(mediaSite, 8 << 20, 1 << 20, 1 << 20)).object();
    for (auto it = about.begin(); it != about.end(); ++it)
        info.insert(it.key(), it.value());
    const QString description = QString(5000, QChar(0x263A)); // 3 bytes each
    if (!about.isEmpty())
        info.insert("description", description);
    useFixture(QJsonDocument(info).toJson());
    ResolverTable table;
    const Answer answer = ask(table, page);
    QCOMPARE(int(answer.outcome), int(Answer::Found));
    const download::media::Tags &tags = answer.rows.value(0).tags;
    QCOMPARE(tags.title, QString("River at night: a film"));
    QCOMPARE(tags.artist, artist);
    QCOMPARE(tags.date, date);
    QCOMPARE(tags.description, about.isEmpty() ? QString() : QString(1365, QChar(0x263A))); // 4095 of 4096 bytes
    QCOMPARE(tags.address.section('?', 0, 0), QString("http://www.rivertube.test/watch"));
    QCOMPARE(tags.coverUrl, cover);
}

// The page's subtitles as yt-dlp answers them go with the row's choice:
// the WebVTT file of each language, a person's apart from automatic ones.
void TestYtDlp::subtitlesOffered_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QString>("file"); // its address's last part; empty: not offered
    QTest::newRow("en by a person: the WebVTT one") << "en" << false << "en.vtt";
    QTest::newRow("en automatic") << "en" << true << "en-auto.vtt";
    QTest::newRow("de automatic only") << "de" << true << "de-auto.vtt";
    QTest::newRow("de by a person: none") << "de" << false << "";
    QTest::newRow("fr: json3, kept to be refused by name") << "fr" << true << "fr.json3";
    QTest::newRow("live chat: no subtitle") << "live_chat" << false << "";
}

void TestYtDlp::subtitlesOffered()
{
    QFETCH(QString, language);
    QFETCH(bool, automatic);
    QFETCH(QString, file);
    useFixture(yi::withSubtitles(yi::youTubeLike(mediaSite, 8 << 20, 1 << 20, 1 << 20), mediaSite + "/subs"));
    ResolverTable table;
    const Answer answer = ask(table, page);
    QCOMPARE(int(answer.outcome), int(Answer::Found));
    const auto choice = download::sitevideo::parseChoice(answer.rows.value(0).siteVideo);
    QVERIFY(choice);
    QString found;
    for (const download::sitevideo::SubtitleFile &f : choice->subtitles)
        if (f.language == language && f.automatic == automatic)
            found = f.url.section('/', -1);
    QCOMPARE(found, file);
}

void TestYtDlp::genericPageLeftToPageReading_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fileUrl");
    QTest::newRow("demo HLS page") << "http://www.openclips.test/harbour-stream.html"
                                   << "http://media.openclips.test/hls/harbour.m3u8";
}

// The real yt-dlp reads the page through its generic extractor; the page
// reading's own row is the answer, and nothing of yt-dlp's is kept with it.
void TestYtDlp::genericPageLeftToPageReading()
{
    QFETCH(QString, address);
    QFETCH(QString, fileUrl);
    ytdlp::Run run;
    QSignalSpy ran(&run, &ytdlp::Run::finished);
    QVERIFY(run.start("/usr/bin/yt-dlp", address, false));
    QVERIFY(ran.wait(90000));
    const auto result = ran.first().first().value<ytdlp::RunResult>();
    QCOMPARE(int(result.outcome), int(ytdlp::RunResult::Answered));
    const auto info = download::sitevideo::parseInfo(result.json);
    QVERIFY(info);
    QCOMPARE(info->extractor, QString("generic"));
    QCOMPARE(info->formats.value(0).url, fileUrl);

    ytdlp::setSettings({"/usr/bin/yt-dlp", {}});
    ResolverTable table;
    QElapsedTimer clock;
    clock.start();
    const Answer answer = ask(table, address);
    const qint64 withYtDlp = clock.restart();
    QCOMPARE(int(answer.outcome), int(Answer::Found));
    QCOMPARE(answer.rows[0].fileUrl, fileUrl);
    QVERIFY(answer.rows[0].siteVideo.isEmpty());
    // What the page said of its stream goes with the row, for the file's tags.
    QCOMPARE(answer.rows[0].tags.title, QString("Harbour at dusk"));
    QCOMPARE(answer.rows[0].tags.address, address);
    // For the record (no bound asserted here): the page reading alone.
    ytdlp::setSettings({m_dir->filePath("none"), {}});
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir->path().toUtf8());
    clock.restart();
    const Answer alone = ask(table, address);
    qInfo("answer with yt-dlp %lld ms, page reading alone %lld ms", withYtDlp, clock.elapsed());
    qputenv("PATH", path);
    QCOMPARE(alone.rows.value(0).fileUrl, fileUrl);
}

void TestYtDlp::addressesStayAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("starts with -") << "-o/tmp/x http://www.rivertube.test/a";
    QTest::newRow("--exec") << "http://www.rivertube.test/a --exec touch%20MARK";
    QTest::newRow(";") << "http://www.rivertube.test/a;touch MARK";
    QTest::newRow("$(...)") << "http://www.rivertube.test/$(touch MARK)";
}

// Only yt-dlp runs, and the address is its last argument, after "--".
void TestYtDlp::addressesStayAddresses()
{
    QFETCH(QString, address);
    const QString wrapper = useFixture(yi::youTubeLike(mediaSite, 1 << 20, 1 << 20, 1 << 20));
    QDir::setCurrent(m_dir->path());
    ytdlp::Run run;
    QSignalSpy ran(&run, &ytdlp::Run::finished);
    QVERIFY(run.start(wrapper, address, false));
    QVERIFY(ran.wait(90000));
    QFile log(m_dir->filePath("args.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList args = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY(args.size() >= 3);
    QCOMPARE(args.last(), address);
    QCOMPARE(args.at(args.size() - 2), QString("--"));
    QCOMPARE(args.first(), QString("--ignore-config"));
    QVERIFY(!QFile::exists(m_dir->filePath("MARK")));
}

void TestYtDlp::cancelEndsItsProcesses_data()
{
    QTest::addColumn<bool>("throughTable");
    QTest::newRow("the run itself") << false;
    QTest::newRow("Esc on the table") << true;
}

void TestYtDlp::cancelEndsItsProcesses()
{
    QFETCH(bool, throughTable);
    const QString wrapper = useFixture(yi::youTubeLike(mediaSite, 1 << 20, 1 << 20, 1 << 20), true);
    ResolverTable table;
    ytdlp::Run own;
    const ytdlp::Run *run = &own;
    if (throughTable) {
        table.start({page, Quality::High});
        run = &static_cast<YtDlpResolver *>(table.running())->run();
    } else {
        QVERIFY(own.start(wrapper, page, false));
    }
    // The wrapper has started its sleeping child once the log is there.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir->filePath("args.log")), 20000);
    QTest::qWait(200);
    const qint64 group = run->processGroup();
    QVERIFY(group > 0);
    QVERIFY(!groupGone(group));
    QElapsedTimer clock;
    clock.start();
    throughTable ? table.cancel() : own.cancel();
    while (!groupGone(group) && clock.elapsed() < 1000)
        QTest::qWait(20);
    QVERIFY2(groupGone(group), "a process of the run outlived the cancel by a second");
}

void TestYtDlp::withoutYtDlp_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text"); // the row's address, or the refusal's last line
    QTest::newRow("a plain page saves as today") << "http://www.openclips.test/harbour-stream.html" << int(Answer::Found)
                                                 << "http://media.openclips.test/hls/harbour.m3u8";
    QTest::newRow("a page without video says yt-dlp could help")
        << page << int(Answer::Refused) << "With yt-dlp installed, Vidrona could ask it about this page.";
}

void TestYtDlp::withoutYtDlp()
{
    QFETCH(QString, address);
    QFETCH(int, outcome);
    QFETCH(QString, text);
    const QByteArray path = qgetenv("PATH"), home = qgetenv("HOME");
    qputenv("PATH", m_dir->path().toUtf8());
    qputenv("HOME", m_dir->path().toUtf8());
    QVERIFY(ytdlp::findProgram(ytdlp::settings()).isEmpty());
    ResolverTable table;
    const Answer answer = ask(table, address);
    qputenv("PATH", path);
    qputenv("HOME", home);
    QCOMPARE(int(answer.outcome), outcome);
    if (outcome == Answer::Found)
        QCOMPARE(answer.rows[0].fileUrl, text);
    else
        QVERIFY2(told(answer).endsWith(text), qPrintable(told(answer)));
}

void TestYtDlp::updateAdvice_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("advised");
    QTest::newRow("Debian's, years later") << "2023.03.04" << true;
    QTest::newRow("a month old") << "2026.11.10" << false;
    QTest::newRow("sixty-one days") << "2026.10.10" << true;
    QTest::newRow("not a date") << "nightly" << false;
}

void TestYtDlp::updateAdvice()
{
    QFETCH(QString, version);
    QFETCH(bool, advised);
    ytdlp::Version v{version, {}};
    const QStringList parts = version.split('.');
    if (parts.size() == 3)
        v.date = QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
    QCOMPARE(!ytdlp::updateAdvice(v, QDate(2026, 12, 10)).isEmpty(), advised);
    // The real program says a date it was released on.
    if (version == "2023.03.04")
        QCOMPARE(ytdlp::versionOf("/usr/bin/yt-dlp").date, v.date);
}

void TestYtDlp::playlists_data()
{
    QTest::addColumn<int>("videos");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("question");
    QTest::newRow("three") << 3 << 3 << "This playlist has 3 videos. Add them all?";
    QTest::newRow("past the bound")
        << 1005 << 1000 << "This playlist has 1005 videos. Add them all?\r\nAt most 1000 are added; 5 more are left out.";
}

// Debian's yt-dlp cannot replay a playlist with --load-info-json ("There
// are no entries"), so its flat answer is read here as it would come.
void TestYtDlp::playlists()
{
    QFETCH(int, videos);
    QFETCH(int, rows);
    QFETCH(QString, question);
    QByteArray json = yi::playlistOfThree("http://www.rivertube.test");
    if (videos != 3) {
        QByteArray entries;
        for (int i = 1; i <= videos; ++i)
            entries += (i > 1 ? "," : "") + QStringLiteral("{\"_type\":\"url\",\"url\":\"http://www.rivertube.test/watch?v=%1\",\"title\":\"Part %1\"}").arg(i).toUtf8();
        json = "{\"_type\":\"playlist\",\"extractor\":\"youtube:tab\",\"entries\":[" + entries + "]}";
    }
    const auto info = download::sitevideo::parseInfo(json);
    QVERIFY(info);
    const Answer answer = answerFromInfo(*info, "http://www.rivertube.test/playlist?list=pl1");
    QCOMPARE(int(answer.outcome), int(Answer::Found));
    QCOMPARE(ui::mainwindow::questionText(answer.question), question);
    QCOMPARE(answer.rows.size(), rows);
    for (int i = 0; i < rows; ++i) {
        QCOMPARE(answer.rows[i].fileUrl, QString("http://www.rivertube.test/watch?v=%1").arg(i + 1));
        QCOMPARE(answer.rows[i].fileName.value_or(QString()), QString("Part %1.mp4").arg(i + 1));
        const auto later = download::sitevideo::parseChoice(answer.rows[i].siteVideo);
        QVERIFY(later && later->unread);
    }
}

void TestYtDlp::refusalWords_data()
{
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("extractor");
    QTest::newRow("a site's refusal") << QByteArray("WARNING: x\nERROR: [youtube] abc: This video is private\n")
                                      << "yt-dlp: This video is private" << "youtube";
    QTest::newRow("any page") << QByteArray("ERROR: [generic] Unsupported URL: http://a.test/x\n")
                              << "yt-dlp: Unsupported URL: http://a.test/x" << "generic";
    QTest::newRow("a traceback's last line")
        << QByteArray("Traceback (most recent call last):\n  File \"x\"\nyt_dlp.utils.ExtractorError: [vimeo] 12: Sign in\n")
        << "yt-dlp: Sign in" << "vimeo";
    QTest::newRow("no words at all") << QByteArray() << "yt-dlp: it gave no answer" << "";
}

void TestYtDlp::refusalWords()
{
    QFETCH(QByteArray, err);
    QFETCH(QString, why);
    QFETCH(QString, extractor);
    const ytdlp::RunResult r = ytdlp::resultOf(1, false, {}, err);
    QCOMPARE(int(r.outcome), int(ytdlp::RunResult::Refused));
    QCOMPARE(ui::mainwindow::failureText(r.why), why);
    QCOMPARE(r.extractor, extractor);
    // A clean exit with an answer is an answer, whatever was said on the side.
    QCOMPARE(int(ytdlp::resultOf(0, false, "{}", err).outcome), int(ytdlp::RunResult::Answered));
}

QTEST_MAIN(TestYtDlp)
#include "tst_ytdlp.moc"
