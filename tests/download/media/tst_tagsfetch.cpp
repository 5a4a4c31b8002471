// Tags written when a stream row's file is made: the cover fetched from the
// local web (a JPEG, a 404, one past the bound, a page instead of a picture)
// never keeps the video from being saved; the Preferences switch turned
// off writes none; tags kept with a row survive the service being made
// again, as after a restart; a site's formats joined or remuxed carry the
// tags, one saved as sent does not.
#include "tagsreadback.h"
#include "../streams/streamsite.h"
#include "download/entrystatus.h"
#include "download/media/cover.h"
#include "download/service/downloadservice.h"
#include "download/sitevideo/formats.h"
#include "download/transfer.h"
#include "support/testenv.h"
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::test;
using namespace vidrona::download;
using namespace vidrona::download::service;

namespace {

media::Tags talkTags(const QString &cover)
{
    media::Tags tags;
    tags.title = QStringLiteral("Talk");
    tags.artist = QStringLiteral("River Channel");
    tags.date = QStringLiteral("2023-06-05");
    tags.description = QStringLiteral("What the talk is about.");
    tags.address = QStringLiteral("http://www.rivertube.test/talk");
    tags.coverUrl = cover.isEmpty() ? QString() : FolderSite::url(cover);
    return tags;
}

// A format of the simulated video site, as yt-dlp describes it.
sitevideo::Format siteFormat(const QString &id, const QString &path, bool video)
{
    sitevideo::Format f;
    f.id = id;
    f.url = QStringLiteral("http://media.rivertube.test/v/%1?expire=4102444800&sig=x").arg(path);
    f.protocol = QStringLiteral("http");
    f.ext = path.section('.', -1);
    f.vcodec = video ? QStringLiteral("avc1.640028") : QStringLiteral("none");
    f.acodec = video ? QStringLiteral("none") : QStringLiteral("mp4a.40.2");
    f.headers = {{"User-Agent", "Mozilla/5.0 Vidrona-Test"}, {"Referer", "http://www.rivertube.test/"},
                 {"X-Site-Token", "t0k3n"}};
    if (path == QLatin1String("dash/")) { // fragments straight from the list
        f.protocol = QStringLiteral("http_dash_segments");
        f.ext = QStringLiteral("mp4");
        f.url = QStringLiteral("http://media.rivertube.test/v/dash/manifest.mpd");
        f.fragmentBaseUrl = QStringLiteral("http://media.rivertube.test/v/dash/");
        f.fragments.append(sitevideo::Fragment{{}, QStringLiteral("init.mp4")});
        for (int i = 1; i <= 4; ++i)
            f.fragments.append(sitevideo::Fragment{{}, QStringLiteral("seg-%1.m4s").arg(i)});
    }
    return f;
}

} // namespace

class TestTagsFetch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void covers_data();
    void covers();
    void switchedOff_data();
    void switchedOff();
    void siteVideo_data();
    void siteVideo();

private:
    LocalWeb m_web;
    QTemporaryDir m_dir;
    std::unique_ptr<StreamClips> m_clips;
    std::unique_ptr<FolderSite> m_site;
    QString m_stream;
    QByteArray m_cover;
};

void TestTagsFetch::initTestCase()
{
    QVERIFY(m_web.ok());
    QVERIFY(m_dir.isValid());
    const QString root = QDir(m_dir.path()).filePath("site");
    QVERIFY(QDir().mkpath(root));
    m_clips = std::make_unique<StreamClips>(root);
    QVERIFY(m_clips->ok());
    m_stream = m_clips->make("ts");
    QVERIFY(!m_stream.isEmpty());
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=96x72", "-frames:v", "1",
                               QDir(root).filePath("cover.jpg")}));
    m_cover = readFile(QDir(root).filePath("cover.jpg"));
    QVERIFY(m_cover.startsWith("\xFF\xD8\xFF"));
    // A picture past the bound, JPEG by its first bytes.
    writeFile(root, "huge.jpg", m_cover + QByteArray(media::MaxCoverBytes, 'x'));
    writeFile(root, "page.jpg", m_cover); // served as a page below
    m_site = std::make_unique<FolderSite>(m_web.server(), root);
    testweb::installSimulatedWeb(m_web.server()); // the video site, beside the folder of clips
    m_site->adjust = [](const testweb::Request &r, testweb::Response &resp) {
        if (!r.path.endsWith(".jpg") || resp.status >= 300)
            return;
        const QByteArray type = r.path.endsWith("page.jpg") ? "text/html" : "image/jpeg";
        for (auto &header : resp.headers)
            if (header.first.compare("Content-Type", Qt::CaseInsensitive) == 0)
                header.second = type;
    };
}

void TestTagsFetch::covers_data()
{
    QTest::addColumn<QString>("cover");
    QTest::addColumn<bool>("kept"); // the picture is in the file
    QTest::newRow("a JPEG") << "cover.jpg" << true;
    QTest::newRow("404") << "missing.jpg" << false;
    QTest::newRow("past the bound") << "huge.jpg" << false;
    QTest::newRow("a page, not a picture") << "page.jpg" << false;
    QTest::newRow("no cover named") << "" << false;
}

void TestTagsFetch::covers()
{
    QFETCH(QString, cover);
    QFETCH(bool, kept);
    FetchJob job;
    job.url = QUrl(FolderSite::url(m_stream));
    job.finalPath = QDir(m_dir.path()).filePath(QStringLiteral("covers-%1.mp4").arg(QTest::currentDataTag()));
    job.tags = talkTags(cover);
    FetchShared shared;
    const FetchResult result = fetchInThread(job, shared);
    QVERIFY2(result.ok(), vidrona::test::describe(result.failure).constData()); // the video is saved whatever became of its cover
    const ReadBack r = readBack(result.placedAt);
    QCOMPARE(r.tags.value("title"), QStringLiteral("Talk"));
    QCOMPARE(r.tags.value("date"), QStringLiteral("2023-06-05"));
    QCOMPARE(r.tags.value("comment"), QStringLiteral("http://www.rivertube.test/talk"));
    QCOMPARE(r.cover, kept ? m_cover : QByteArray());
    QCOMPARE(r.mediaStreams, 2);
    QCOMPARE(frameSums(result.placedAt, "V"), frameSums(m_clips->reference())); // the cover left out
}

void TestTagsFetch::switchedOff_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

// Through the service, as the window adds a row: the tags are kept with
// the row (read again by a service made anew) and written only while the
// switch is on.
void TestTagsFetch::switchedOff()
{
    QFETCH(bool, on);
    const QString folder = QDir(m_dir.path()).filePath(on ? "on" : "off");
    QVERIFY(QDir().mkpath(folder));
    const QString url = FolderSite::url(m_stream);
    {
        DownloadService adding(folder, folder, nullptr);
        adding.load();
        QVERIFY(adding.add(url, QStringLiteral("Talk.mp4")));
        QVERIFY(adding.keepTags(url, talkTags("cover.jpg")));
    }
    DownloadService service(folder, folder);
    service.load();
    DownloadSettings settings = service.settings();
    settings.tags = on;
    service.apply(settings);
    service.start();
    QVERIFY(QTest::qWaitFor([&service] { return !service.isRunning(); }, 120000));
    QCOMPARE(service.list().at(0).status, Status::Completed);
    const ReadBack r = readBack(QDir(folder).filePath(service.list().at(0).fileName));
    QVERIFY(r.opened);
    QCOMPARE(r.tags.value("title"), on ? QStringLiteral("Talk") : QString());
    QCOMPARE(r.tags.value("artist"), on ? QStringLiteral("River Channel") : QString());
    QCOMPARE(r.cover, on ? m_cover : QByteArray());
    QCOMPARE(r.mediaStreams, 2);
    // The row's tags go with it.
    service.remove(service.list().at(0).id);
    QVERIFY(QDir(QDir(folder).filePath("Tags")).isEmpty());
}

void TestTagsFetch::siteVideo_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("tagged");
    QTest::newRow("picture and sound remuxed") << QStringList{"video.mp4", "audio.m4a"} << true;
    QTest::newRow("DASH fragments joined") << QStringList{"dash/"} << true;
    QTest::newRow("one file, saved as sent") << QStringList{"video.mp4"} << false;
}

// A site's formats (yt-dlp's choice) as the row fetches them: the files
// Vidrona makes carry the tags, a file saved as the site sent it does not.
void TestTagsFetch::siteVideo()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, tagged);
    sitevideo::Choice choice;
    choice.container = QStringLiteral("mp4");
    for (const QString &p : paths)
        choice.parts.append(siteFormat(p == "audio.m4a" ? "140" : "137", p, p != "audio.m4a"));
    const QString target = QDir(m_dir.path()).filePath(QStringLiteral("site-%1.mp4").arg(QTest::currentDataTag()));
    Transfer transfer;
    transfer.setSiteVideo(sitevideo::choiceText(choice));
    transfer.setTags(talkTags("cover.jpg"));
    QSignalSpy ended(&transfer, &Transfer::finished);
    QVERIFY(transfer.start(QUrl("http://www.rivertube.test/watch?v=yt1"), target));
    QVERIFY(ended.wait(120000));
    const auto failure = ended.first().first().value<net::Failure>();
    QVERIFY2(!failure.failed(), vidrona::test::describe(failure).constData());
    const ReadBack r = readBack(transfer.placedAt());
    QVERIFY(r.opened);
    QCOMPARE(r.tags.value("title"), tagged ? QStringLiteral("Talk") : QString());
    QCOMPARE(r.tags.value("comment"), tagged ? QStringLiteral("http://www.rivertube.test/talk") : QString());
    QCOMPARE(r.cover, tagged ? m_cover : QByteArray());
    QCOMPARE(r.mediaStreams, int(paths.size()));
}

QTEST_MAIN(TestTagsFetch)
#include "tst_tagsfetch.moc"
