// Sound only for a single video file: a direct .mp4 address, and a page
// whose <video> names one plain MP4, added from the window with "Sound
// only" in the settings. The row's name says "(sound)", the file is
// fetched whole, and what is saved is its sound alone, moved without
// re-encoding into the container its codec is known by: the packets come
// out byte for byte as ffmpeg made them. With "Save sound as: MP3" the
// sound is encoded instead, and with the best the file stays as it is.
#include "addvideotest.h"
#include "support/mediatools.h"
#include <QDir>
#include <QPushButton>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::download::service;
using vidrona::test::runTool;

namespace {

const QByteArray mediaHost = "media.single.test";
const QByteArray pageHost = "www.single.test";

// The checksum of every sound packet's data as stored (not decoded), in order.
QByteArray packetSums(const QString &file)
{
    QByteArray out;
    if (!runTool("ffmpeg", {"-v", "error", "-i", file, "-map", "0:a", "-c", "copy", "-f", "framemd5", "-"}, &out))
        return {};
    QByteArray sums;
    for (const QByteArray &line : out.split('\n'))
        if (!line.startsWith('#') && !line.trimmed().isEmpty())
            sums += line.split(',').value(5).trimmed() + '\n';
    return sums;
}

QByteArray codecOf(const QString &file)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", "stream=codec_name", "-of", "csv=p=0", file},
            &out);
    return out.trimmed();
}

} // namespace

class TestSoundFile : public test::AddVideoTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { tearDown(); }
    void soundOfOneFile_data();
    void soundOfOneFile();

private:
    QTemporaryDir m_media;
};

// The videos, made once by ffmpeg: a picture with an AAC, an Opus or an
// MP3 sound, each in MP4.
void TestSoundFile::initTestCase()
{
    QVERIFY(m_media.isValid());
    const QList<QPair<QString, QString>> made{{"aac", "aac"}, {"opus", "libopus"}, {"mp3", "libmp3lame"}};
    for (const auto &[name, codec] : made)
        QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=4", "-f", "lavfi",
                                   "-i", "sine=frequency=330:duration=4", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
                                   codec, "-movflags", "+faststart", QDir(m_media.path()).filePath("clip-" + name + ".mp4")}));
}

void TestSoundFile::init()
{
    setUp();
    const QString folder = m_media.path();
    m_web->server().onPrefix(mediaHost, "/clip-", [folder](const testweb::Request &req) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(req.path.mid(1))));
        return file.open(QIODevice::ReadOnly) ? testweb::Response::bytes(file.readAll(), "video/mp4")
                                              : testweb::Response::notFound();
    });
    m_web->server().on(pageHost, "/clip.html", [](const testweb::Request &) {
        return testweb::Response::html("<!DOCTYPE html>\n<html><head><title>A Clip</title></head><body>\n"
                                       "<video controls src=\"http://media.single.test/clip-aac.mp4\"></video>\n"
                                       "</body></html>\n");
    });
}

void TestSoundFile::soundOfOneFile_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<int>("mp3Quality");
    QTest::addColumn<QString>("listed"); // the row's name when added
    QTest::addColumn<QString>("saved");  // the file's name when COMPLETED
    QTest::addColumn<QByteArray>("codec");
    const QString aac = "http://media.single.test/clip-aac.mp4";
    QTest::newRow("direct, AAC: .m4a") << aac << QByteArray("sound") << -1 << "clip-aac (sound).m4a"
                                       << "clip-aac (sound).m4a" << QByteArray("aac");
    QTest::newRow("direct, Opus: .opus") << "http://media.single.test/clip-opus.mp4" << QByteArray("sound") << -1
                                         << "clip-opus (sound).m4a" << "clip-opus (sound).opus" << QByteArray("opus");
    QTest::newRow("direct, MP3: .mp3") << "http://media.single.test/clip-mp3.mp4" << QByteArray("sound") << -1
                                       << "clip-mp3 (sound).m4a" << "clip-mp3 (sound).mp3" << QByteArray("mp3");
    QTest::newRow("a page's one <video>") << "http://www.single.test/clip.html" << QByteArray("sound") << -1
                                          << "clip-aac (sound).m4a" << "clip-aac (sound).m4a" << QByteArray("aac");
    QTest::newRow("direct, saved as MP3") << aac << QByteArray("sound") << 2 << "clip-aac (sound).mp3"
                                          << "clip-aac (sound).mp3" << QByteArray("mp3");
    QTest::newRow("direct, the best: as it is") << aac << QByteArray("best") << -1 << "clip-aac.mp4" << "clip-aac.mp4"
                                                << QByteArray();
}

void TestSoundFile::soundOfOneFile()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, quality);
    QFETCH(int, mp3Quality);
    QFETCH(QString, listed);
    QFETCH(QString, saved);
    QFETCH(QByteArray, codec);
    DownloadSettings s = test::serviceOf(*m_w).settings();
    s.quality = quality;
    s.mp3Quality = mp3Quality;
    test::serviceOf(*m_w).apply(s);
    paste(address, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    const DownloadList &list = test::storeOf(*m_w).list();
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 1, 60000);
    QCOMPARE(list.at(0).fileName, listed);
    test::ctl<QPushButton>(*m_w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(list.at(0).statusWord(), QStringLiteral("COMPLETED"), 60000);
    QCOMPARE(list.at(0).fileName, saved);
    const QString file = QDir(m_dir->path()).filePath(saved);
    const QString source = QDir(m_media.path()).filePath(QUrl(address.endsWith(".html") ? "clip-aac.mp4" : address).fileName());
    if (codec.isEmpty()) { // the file as it was sent
        QCOMPARE(test::readFile(file), test::readFile(source));
        return;
    }
    QCOMPARE(test::streamKinds(file), QStringList{"audio"});
    QCOMPARE(codecOf(file), codec);
    QVERIFY(qAbs(test::durationOf(file) - test::durationOf(source)) < 0.1);
    if (mp3Quality < 0) { // the samples as they were sent, not encoded again
        const QByteArray sums = packetSums(source);
        QVERIFY(sums.count('\n') > 20);
        QCOMPARE(packetSums(file), sums);
    }
    // Nothing of the whole file is left beside the sound.
    QCOMPARE(QDir(m_dir->path()).entryList({".*.whole*"}, QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestSoundFile)
#include "tst_soundfile.moc"
