// The MP3 encode: sounds in the codecs sites send (AAC, Opus, MP3, inside a
// video too), made by the ffmpeg program, encoded at LAME's levels and
// decoded again by the ffmpeg program: an MP3 stream, of the same length
// within 0.1 s, the progress rising to the end; a cancel leaves nothing.
#include "ui/mainwindow/steptexts.h"
#include "download/sound/mp3encoder.h"
#include "support/mediatools.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::sound;
using vidrona::test::runTool;

namespace {
QByteArray probe(const QString &file, const QString &entries)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", entries, "-of", "csv=p=0", file}, &out);
    return out.trimmed();
}
} // namespace

class TestMp3Encoder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void encodes_data();
    void encodes();
    void levels();
    void cancelled();
    void noSound();

private:
    QString make(const QString &name, const QStringList &encode, const QString &picture = {});
    QTemporaryDir m_dir;
};

// A 7.3-second sweep in the given encoding (with a picture when given).
QString TestMp3Encoder::make(const QString &name, const QStringList &encode, const QString &picture)
{
    const QString path = QDir(m_dir.path()).filePath(name);
    QStringList args{"-v", "error", "-y", "-f", "lavfi", "-i", "aevalsrc=sin(200*t*t)|sin(300*t):s=48000:d=7.3"};
    if (!picture.isEmpty())
        args << "-f" << "lavfi" << "-i" << picture;
    args << encode << path;
    return runTool("ffmpeg", args) ? path : QString();
}

void TestMp3Encoder::encodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("encode");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QByteArray>("channels");
    QTest::newRow("AAC in M4A, V0") << "s.m4a" << QStringList{"-c:a", "aac"} << QString() << 0 << QByteArray("2");
    QTest::newRow("Opus, mono, V2") << "s.opus" << QStringList{"-ac", "1", "-c:a", "libopus"} << QString() << 2
                                    << QByteArray("1");
    QTest::newRow("MP3 at 44.1 kHz, V4") << "s.mp3" << QStringList{"-ar", "44100", "-c:a", "libmp3lame"} << QString()
                                         << 4 << QByteArray("2");
    QTest::newRow("a video's sound, V2") << "v.mp4"
                                         << QStringList{"-shortest", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}
                                         << "testsrc=size=160x120:rate=10:duration=7.3" << 2 << QByteArray("2");
    QTest::newRow("past the levels: V4") << "s2.m4a" << QStringList{"-c:a", "aac"} << QString() << 9 << QByteArray("2");
}

void TestMp3Encoder::encodes()
{
    QFETCH(QString, name);
    QFETCH(QStringList, encode);
    QFETCH(QString, picture);
    QFETCH(int, quality);
    QFETCH(QByteArray, channels);
    const QString source = make(name, encode, picture);
    QVERIFY(!source.isEmpty());
    const QString out = QDir(m_dir.path()).filePath(name + ".mp3");
    QList<double> heard;
    const Mp3Result r = encodeMp3(source, out, quality, [&](double share) { heard << share; });
    QVERIFY2(r.ok, qPrintable(ui::mainwindow::stepText(r.error)));
    QCOMPARE(probe(out, "stream=codec_name"), QByteArray("mp3"));
    QCOMPARE(probe(out, "stream=channels"), channels);
    QCOMPARE(test::streamKinds(out), QStringList{"audio"});
    const double length = test::durationOf(source), got = test::durationOf(out);
    QVERIFY2(qAbs(got - length) < 0.1, qPrintable(QStringLiteral("%1 s from %2 s").arg(got).arg(length)));
    QVERIFY(!test::frameSums(out, "a").isEmpty()); // it decodes to the end
    QVERIFY(heard.size() > 10);
    QVERIFY(std::is_sorted(heard.begin(), heard.end()));
    QCOMPARE(heard.last(), 1.0);
}

// V0 spends more bits than V4 on the same sound.
void TestMp3Encoder::levels()
{
    const QString source = make("l.m4a", {"-c:a", "aac", "-b:a", "256k"});
    QVERIFY(!source.isEmpty());
    const QString v0 = QDir(m_dir.path()).filePath("v0.mp3"), v4 = QDir(m_dir.path()).filePath("v4.mp3");
    QVERIFY(encodeMp3(source, v0, 0).ok);
    QVERIFY(encodeMp3(source, v4, 4).ok);
    QVERIFY2(QFileInfo(v0).size() > QFileInfo(v4).size() * 5 / 4,
             qPrintable(QStringLiteral("%1 vs %2").arg(QFileInfo(v0).size()).arg(QFileInfo(v4).size())));
}

void TestMp3Encoder::cancelled()
{
    const QString source = make("c.m4a", {"-c:a", "aac"});
    const QString out = QDir(m_dir.path()).filePath("c.mp3");
    std::atomic<bool> cancel{false};
    const Mp3Result r = encodeMp3(source, out, 2, [&](double share) { cancel = share > 0.3; }, &cancel);
    QVERIFY(!r.ok);
    QCOMPARE(ui::mainwindow::stepText(r.error), QString("Cancelled."));
    QVERIFY(!QFileInfo::exists(out));
}

void TestMp3Encoder::noSound()
{
    const QString path = QDir(m_dir.path()).filePath("silent.mp4");
    QVERIFY(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1", "-c:v",
                               "libx264", "-preset", "ultrafast", path}));
    const QString out = QDir(m_dir.path()).filePath("silent.mp3");
    const Mp3Result r = encodeMp3(path, out, 2);
    QVERIFY(!r.ok);
    QCOMPARE(ui::mainwindow::stepText(r.error), QString("The video holds no sound that can be decoded."));
    QVERIFY(!QFileInfo::exists(out));
}

QTEST_GUILESS_MAIN(TestMp3Encoder)
#include "tst_mp3encoder.moc"
