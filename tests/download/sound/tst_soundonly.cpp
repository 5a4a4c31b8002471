// Keeping only a video's sound without re-encoding: videos in the shapes
// sites send, made by the ffmpeg program, their sound moved into the
// container its codec is known by; the packets come out byte for byte as
// they went in, and no picture is left.
#include "ui/mainwindow/steptexts.h"
#include "download/streams/soundonly.h"
#include "support/mediatools.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::streams;
using vidrona::test::runTool;

namespace {
// The checksum of every sound packet's data as stored (not decoded), in order.
QByteArray packetSums(const QString &file)
{
    QByteArray out;
    if (!runTool("ffmpeg", {"-v", "error", "-i", file, "-map", "0:a", "-c", "copy", "-f", "framemd5", "-"}, &out))
        return {};
    QByteArray sums;
    for (const QByteArray &line : out.split('\n'))
        if (!line.startsWith('#') && !line.trimmed().isEmpty())
            sums += line.split(',').value(5).trimmed() + '\n'; // the data's; side data may follow
    return sums;
}
} // namespace

class TestSoundOnly : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void keeps_data();
    void keeps();
    void noSound();
    void names_data();
    void names();

private:
    QTemporaryDir m_dir;
};

void TestSoundOnly::keeps_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("extension");
    QTest::newRow("AAC in MP4") << "a.mp4" << "aac" << "m4a";
    QTest::newRow("Opus in WebM") << "o.webm" << "libopus" << "opus";
    QTest::newRow("MP3 in MP4") << "m.mp4" << "libmp3lame" << "mp3";
    QTest::newRow("Vorbis in WebM") << "v.webm" << "libvorbis" << "mka";
}

void TestSoundOnly::keeps()
{
    QFETCH(QString, name);
    QFETCH(QString, codec);
    QFETCH(QString, extension);
    const QString video = QDir(m_dir.path()).filePath(name);
    const QString picture = name.endsWith(".webm") ? "libvpx" : "libx264";
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=3", "-f",
                               "lavfi", "-i", "sine=frequency=330:duration=3", "-c:v", picture, "-c:a", codec, video}));
    const QString out = QDir(m_dir.path()).filePath(name + ".sound");
    const SoundOnly r = keepSoundOnly(video, out);
    QVERIFY2(r.ok, qPrintable(ui::mainwindow::stepText(r.error)));
    QCOMPARE(r.extension, extension);
    QCOMPARE(test::streamKinds(out), QStringList{"audio"});
    const QByteArray sums = packetSums(video);
    QVERIFY(sums.count('\n') > 20);
    QCOMPARE(packetSums(out), sums); // the samples as they were sent
    QVERIFY(qAbs(test::durationOf(out) - test::durationOf(video)) < 0.1);
}

void TestSoundOnly::noSound()
{
    const QString video = QDir(m_dir.path()).filePath("silent.mp4");
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", "-c:v",
                               "libx264", video}));
    const QString out = QDir(m_dir.path()).filePath("silent.sound");
    const SoundOnly r = keepSoundOnly(video, out);
    QVERIFY(!r.ok);
    QCOMPARE(ui::mainwindow::stepText(r.error), QString("The video holds no sound."));
    QVERIFY(!QFileInfo::exists(out));
}

void TestSoundOnly::names_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("renamed");
    QTest::newRow("m4a to opus") << "/d/Talk (sound).m4a" << "opus" << "/d/Talk (sound).opus";
    QTest::newRow("dots in the name") << "/d/a.b.c.m4a" << "mp3" << "/d/a.b.c.mp3";
    QTest::newRow("no extension") << "/d/Talk" << "m4a" << "/d/Talk.m4a";
}

void TestSoundOnly::names()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, renamed);
    QCOMPARE(withExtension(path, extension), renamed);
}

QTEST_GUILESS_MAIN(TestSoundOnly)
#include "tst_soundonly.moc"
