// "Ask me": the window that lists a video's qualities, driven offscreen by
// keys and clicks (Enter takes the highlighted line, Esc adds nothing, a
// chosen line adds that quality), then the whole way from Add Video
// against the simulated web: the row named for the choice and the saved
// file's picture height, decoded with ffprobe.
#include "addvideotest.h"
#include "../../resolve/ytdlp/infofixtures.h"
#include "resolve/videoprobe.h"
#include "resolve/ytdlp/finder.h"
#include "support/mediatools.h"
#include "ui/mainwindow/qualitywindow.h"
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::download::service;
using namespace vidrona::resolve;
using namespace vidrona::ui::mainwindow;

namespace {

// Four pictures and a sound, as the simulated master offers them.
QList<streams::Quality> ladder()
{
    QList<streams::Quality> list;
    for (const auto &[w, h] : QList<QPair<int, int>>{{1920, 1080}, {1280, 720}, {854, 480}, {640, 360}})
        list << streams::Quality{true, true, w, h, 4, "avc1.640028,mp4a.40.2", h * 4000LL, -1, 2, {}};
    list << streams::Quality{false, true, 0, 0, 0, {}, 0, -1, 0, "en"};
    return list;
}

QListWidget *listOf(QualityWindow &w, const char *name)
{
    return test::ctl<QListWidget>(w, name);
}

// Clicks on a line of a list, as a user does.
void clickLine(QListWidget *list, int row, bool twice = false)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// "down", "up", "enter", "esc", "add", "click:N", "double:N", "tick:N"
// (a subtitle line ticked with the space bar), in order.
void act(QualityWindow &w, const QString &actions)
{
    for (const QString &a : actions.split(' ', Qt::SkipEmptyParts)) {
        QListWidget *qualities = listOf(w, "lstQualities");
        const int n = a.section(':', 1).toInt();
        if (a == "down" || a == "up" || a == "enter" || a == "esc") {
            const Qt::Key key = a == "down" ? Qt::Key_Down : a == "up" ? Qt::Key_Up : a == "enter" ? Qt::Key_Return : Qt::Key_Escape;
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : qualities, key);
        } else if (a == "add") {
            test::ctl<QPushButton>(w, "addButton")->click();
        } else if (a.startsWith("click:") || a.startsWith("double:")) {
            clickLine(qualities, n, a.startsWith("double:"));
        } else if (a.startsWith("tick:")) {
            QListWidget *subtitles = listOf(w, "lstSubtitles");
            subtitles->setFocus();
            subtitles->setCurrentRow(n);
            QTest::keyClick(subtitles, Qt::Key_Space);
        }
    }
}

} // namespace

class TestAskQuality : public test::AddVideoTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { setUp(); }
    void cleanup()
    {
        ytdlp::setSettings({});
        tearDown();
    }
    void window_data();
    void window();
    void fromAddVideo_data();
    void fromAddVideo();
    void oneAtATime();
    void siteFormats_data();
    void siteFormats();

private:
    QualityWindow *asked(int timeoutMs = 20000);
    void askMe();
};

// The simulated site's media are made by ffmpeg on its first request: made
// here once, so that no test waits on them past a fetch's stall time.
void TestAskQuality::initTestCase()
{
    setUp();
    VideoProbe probe;
    probe.setStallTimeout(120000);
    probe.setTotalTimeout(240000);
    bool done = false;
    connect(&probe, &VideoProbe::finished, this, [&done](const ProbeResult &) { done = true; });
    QVERIFY(probe.start("http://media.ladder.test/ladder/master.m3u8"));
    QVERIFY(QTest::qWaitFor([&done] { return done; }, 240000));
    tearDown();
}

void TestAskQuality::window_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QStringList>("subtitles");
    QTest::newRow("Enter takes the highlighted line") << "enter" << 0 << QStringList{};
    QTest::newRow("down, down, Enter") << "down down enter" << 2 << QStringList{};
    QTest::newRow("down, up, Enter") << "down down up enter" << 1 << QStringList{};
    QTest::newRow("Esc adds nothing") << "down esc" << -1 << QStringList{};
    QTest::newRow("a clicked line, then Add") << "click:3 add" << 3 << QStringList{};
    QTest::newRow("a double-clicked line") << "double:1" << 1 << QStringList{};
    QTest::newRow("the sound, then Enter") << "click:4 enter" << 4 << QStringList{};
    QTest::newRow("a subtitle ticked") << "tick:1 enter" << 0 << QStringList{"de"};
    QTest::newRow("both subtitles ticked") << "tick:1 tick:0 click:2 add" << 2 << QStringList{"en", "de"};
    QTest::newRow("ticked, then Esc") << "tick:0 esc" << -1 << QStringList{};
}

void TestAskQuality::window()
{
    QFETCH(QString, actions);
    QFETCH(int, chosen);
    QFETCH(QStringList, subtitles);
    QualityWindow w("Talk.mp4", ladder(), {"en", "de"}, 0);
    int finished = 0;
    connect(&w, &QDialog::finished, this, [&finished] { ++finished; });
    w.open();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(listOf(w, "lstQualities")->count(), 5);
    QCOMPARE(listOf(w, "lstQualities")->item(4)->text(), "sound only (en)");
    QCOMPARE(listOf(w, "lstQualities")->currentRow(), 0);
    act(w, actions);
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(finished, 1);
    QCOMPARE(w.chosen(), chosen);
    QCOMPARE(w.subtitles(), subtitles);
}

void TestAskQuality::askMe()
{
    DownloadSettings s = test::serviceOf(*m_w).settings();
    s.quality = "ask";
    test::serviceOf(*m_w).apply(s);
}

QualityWindow *TestAskQuality::asked(int timeoutMs)
{
    QualityWindow *found = nullptr;
    const bool shown =
        QTest::qWaitFor([&] { return (found = m_w->findChild<QualityWindow *>()) && found->isVisible(); }, timeoutMs);
    return shown ? found : nullptr;
}

// From Add Video to the saved file: the window lists what the resolve
// step read, the row is named for the line taken, and what is saved is
// that quality.
void TestAskQuality::fromAddVideo_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("name"); // empty: no row
    QTest::addColumn<int>("height");   // of the saved picture; 0: sound only
    QTest::addColumn<QStringList>("subtitles");
    const QString master = "http://media.ladder.test/ladder/master.m3u8", page = "http://www.ladder.test/talk.html";
    QTest::newRow("HLS, Enter") << master << "enter" << "master (1080p).mp4" << 1080 << QStringList{};
    QTest::newRow("HLS, down twice") << master << "down down enter" << "master (480p).mp4" << 480 << QStringList{};
    QTest::newRow("HLS, Esc") << master << "esc" << QString() << 0 << QStringList{};
    QTest::newRow("HLS, sound") << master << "click:4 add" << "master (sound).m4a" << 0 << QStringList{};
    QTest::newRow("HLS, subtitles kept") << master << "tick:1 click:3 add" << "master (360p).mp4" << 360
                                         << QStringList{"de"};
    QTest::newRow("<source>s, a clicked line") << page << "click:1 add" << "Talk (720p).mp4" << 720 << QStringList{};
    QTest::newRow("<source>s, Esc") << page << "esc" << QString() << 0 << QStringList{};
}

void TestAskQuality::fromAddVideo()
{
    QFETCH(QString, address);
    QFETCH(QString, actions);
    QFETCH(QString, name);
    QFETCH(int, height);
    QFETCH(QStringList, subtitles);
    askMe();
    paste(address, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QualityWindow *w = asked();
    QVERIFY(w);
    QVERIFY(!addVideo().resolving()); // the listing came with the answer
    act(*w, actions);
    QTRY_VERIFY(!m_w->findChild<QualityWindow *>()); // gone once answered
    const DownloadList &list = test::storeOf(*m_w).list();
    if (name.isEmpty()) {
        QCOMPARE(list.count(), 0);
        return;
    }
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).fileName, name);
    QCOMPARE(test::serviceOf(*m_w).extras().extrasOf(list.at(0).fileUrl).subtitles, subtitles);
    test::ctl<QPushButton>(*m_w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(list.at(0).statusWord(), QStringLiteral("COMPLETED"), 60000);
    const QString saved = QDir(m_dir->path()).filePath(list.at(0).fileName);
    if (height == 0) { // sound only: no picture fetched or kept
        QCOMPARE(test::streamKinds(saved), QStringList{"audio"});
        return;
    }
    QByteArray out;
    QVERIFY(test::runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=height",
                                      "-of", "csv=p=0", saved}, &out));
    QCOMPARE(out.trimmed().toInt(), height);
}

// Addresses from elsewhere (a drop, a second start, a browser) are asked
// too, one window at a time: the next waits until the one before is answered.
void TestAskQuality::oneAtATime()
{
    askMe();
    addVideo().addAddresses(QStringList{"http://media.ladder.test/ladder/master.m3u8", "http://www.ladder.test/talk.html"});
    QualityWindow *first = asked();
    QVERIFY(first);
    QTest::qWait(300);
    QCOMPARE(m_w->findChildren<QualityWindow *>().size(), 1);
    QCOMPARE(listOf(*first, "lstQualities")->count(), 5);
    act(*first, "down enter");
    QualityWindow *second = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((second = asked()) && second != first, 20000);
    QCOMPARE(listOf(*second, "lstQualities")->count(), 4);
    act(*second, "esc");
    QTRY_VERIFY(!m_w->findChild<QualityWindow *>());
    const DownloadList &list = test::storeOf(*m_w).list();
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).fileName, "master (720p).mp4");
}

namespace {

qint64 sizeOf(testweb::Server &server, const QByteArray &path)
{
    testweb::Request r;
    r.method = "GET";
    r.host = "media.rivertube.test";
    r.path = path;
    r.headers = {{"X-Site-Token", "t0k3n"}};
    return server.respond(r).body.size();
}

// "WxH" of the saved picture, the codec of its sound.
QString pictureOf(const QString &file)
{
    QByteArray out;
    test::runTool("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height", "-of",
                              "csv=p=0:s=x", file}, &out);
    return QString::fromLatin1(out.trimmed());
}

QByteArray soundOf(const QString &file)
{
    QByteArray out;
    test::runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "stream=codec_name", "-of",
                              "csv=p=0", file}, &out);
    return out.trimmed();
}

const QByteArray Cue = "WEBVTT\n\n00:00:01.000 --> 00:00:02.500\nUnter der Brücke\n";

} // namespace

// A site's formats as the real yt-dlp reads them (a YouTube-like answer
// replayed by a wrapper): every format is a line, pictures tallest first
// and then the sounds alone, with the subtitle languages, automatic
// captions marked; the line taken is what is fetched, checked by decoding
// the saved file's picture size and sound.
void TestAskQuality::siteFormats_data()
{
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("listed");  // the row's name when added; empty: no row
    QTest::addColumn<QString>("saved");   // its name once COMPLETED
    QTest::addColumn<QString>("picture"); // "WxH"; empty: sound only
    QTest::addColumn<QByteArray>("sound");
    QTest::addColumn<QStringList>("subtitles");
    const QString title = "River at night: a film";
    // The lines: 248 (VP9 1080), 137 (H.264 1080), 18 (360, muxed), 251 (Opus), 140 (AAC).
    QTest::newRow("Enter: the settings' line, H.264 with AAC")
        << "enter" << title + " (1080p 4000k).mp4" << title + " (1080p 4000k).mp4" << "1280x720" << QByteArray("aac")
        << QStringList{};
    QTest::newRow("the VP9 line: with Opus, in MKV") << "click:0 add" << title + " (1080p).mkv" << title + " (1080p).mkv"
                                                     << "320x240" << QByteArray("opus") << QStringList{};
    QTest::newRow("the AAC sound alone") << "click:4 enter" << title + " (sound 128k).m4a"
                                         << title + " (sound 128k).m4a" << QString() << QByteArray("aac") << QStringList{};
    QTest::newRow("the Opus sound alone") << "click:3 add" << title + " (sound).m4a" << title + " (sound).opus"
                                          << QString() << QByteArray("opus") << QStringList{};
    QTest::newRow("Esc") << "down esc" << QString() << QString() << QString() << QByteArray() << QStringList{};
    QTest::newRow("automatic captions ticked") << "tick:1 enter" << title + " (1080p 4000k).mp4"
                                               << title + " (1080p 4000k).mp4" << "1280x720" << QByteArray("aac")
                                               << QStringList{"de"};
}

void TestAskQuality::siteFormats()
{
    QFETCH(QString, actions);
    QFETCH(QString, listed);
    QFETCH(QString, saved);
    QFETCH(QString, picture);
    QFETCH(QByteArray, sound);
    QFETCH(QStringList, subtitles);
    testweb::Server &server = m_web->server();
    server.onPrefix("media.rivertube.test", "/subs/", [](const testweb::Request &req) {
        return req.path.endsWith(".vtt") ? testweb::Response::text(Cue, "text/vtt") : testweb::Response::notFound();
    });
    const qint64 video = sizeOf(server, "/v/video.mp4"), audio = sizeOf(server, "/v/audio.m4a");
    QVERIFY(video > 0 && audio > 0);
    QJsonObject answer = QJsonDocument::fromJson(test::ytinfo::withSubtitles(
        test::ytinfo::youTubeLike("http://media.rivertube.test/v", video, audio, 1 << 20), "http://media.rivertube.test/subs")).object();
    answer.insert("duration", 6); // the sizes yt-dlp does not know are told from it
    const QString fixture = test::writeFile(m_dir->path(), "info.json", QJsonDocument(answer).toJson());
    ytdlp::setSettings({test::ytinfo::writeWrapper(m_dir->path(), fixture), {}});
    askMe();
    paste("http://www.rivertube.test/watch?v=yt1", "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QualityWindow *w = asked(90000);
    QVERIFY(w);
    QCOMPARE(listOf(*w, "lstQualities")->count(), 5);
    QCOMPARE(listOf(*w, "lstQualities")->currentRow(), 1);
    QVERIFY(listOf(*w, "lstQualities")->item(0)->text().startsWith("1080p, vp9, 4.2 Mb/s, about "));
    QVERIFY(!listOf(*w, "lstQualities")->item(1)->text().contains("about"));
    QVERIFY(listOf(*w, "lstQualities")->item(4)->text().startsWith("sound only, mp4a.40.2"));
    QListWidget *languages = listOf(*w, "lstSubtitles");
    QCOMPARE(languages->count(), 2); // fr is offered only in a form Vidrona does not read
    QCOMPARE(languages->item(0)->text(), "a name (en)");
    QCOMPARE(languages->item(1)->text(), "a name (de) (automatic)");
    act(*w, actions);
    QTRY_VERIFY(!m_w->findChild<QualityWindow *>());
    const DownloadList &list = test::storeOf(*m_w).list();
    if (listed.isEmpty()) {
        QCOMPARE(list.count(), 0);
        return;
    }
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).fileName, listed);
    QCOMPARE(test::serviceOf(*m_w).extras().extrasOf(list.at(0).fileUrl).subtitles, subtitles);
    test::ctl<QPushButton>(*m_w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(list.at(0).statusWord(), QStringLiteral("COMPLETED"), 90000);
    QCOMPARE(list.at(0).fileName, saved);
    const QString file = QDir(m_dir->path()).filePath(saved);
    QCOMPARE(test::streamKinds(file), picture.isEmpty() ? QStringList{"audio"} : (QStringList{"audio", "video"}));
    QCOMPARE(pictureOf(file), picture);
    QCOMPARE(soundOf(file), sound);
    const QStringList beside = QDir(m_dir->path()).entryList({"*.srt"}, QDir::Files);
    QCOMPARE(beside, subtitles.isEmpty() ? QStringList() : QStringList{QFileInfo(saved).completeBaseName() + ".de.srt"});
}

QTEST_MAIN(TestAskQuality)
#include "tst_askquality.moc"
