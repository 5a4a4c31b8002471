// A file's own tags, written by each writer of a final file (the piece
// joiner, the remuxer, sound only, the MP3 encoder) into media the ffmpeg
// program makes, and read back with libavformat: the title, the artist,
// the date, the description cut at 4 KiB on a character's boundary, the
// address, and the cover's bytes; no tags, no cover. Also the rules the
// tags are kept by.
#include "ui/mainwindow/steptexts.h"
#include "tagsreadback.h"
#include "download/media/tags.h"
#include "download/sitevideo/remux.h"
#include "download/sound/mp3encoder.h"
#include "download/streams/mp4joiner.h"
#include "download/streams/soundonly.h"
#include "support/mediatools.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using vidrona::test::runTool;

namespace {

// 6001 bytes of UTF-8 whose 4096th byte starts a two-byte character.
QString longDescription()
{
    return QStringLiteral("a") + QString(3000, QChar(0xE9));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFileTags : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void writers_data();
    void writers();
    void untagged_data();
    void untagged();
    void cut_data();
    void cut();
    void dates_data();
    void dates();
    void keptText();

private:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    bool make(const QString &name, const QStringList &args);
    // Runs the writer named so from its source into out.
    QString write(const QString &writer, const QString &out, const download::media::Tags &tags);
    QTemporaryDir m_dir;
};

bool TestFileTags::make(const QString &name, const QStringList &args)
{
    return runTool("ffmpeg", QStringList{"-v", "error", "-y"} + args + QStringList{path(name)});
}

void TestFileTags::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QStringList picture{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=2"};
    const QStringList sound{"-f", "lavfi", "-i", "sine=frequency=330:duration=2"};
    QVERIFY(make("clip.ts", picture + sound + QStringList{"-c:v", "libx264", "-c:a", "aac"}));
    QVERIFY(make("aac.mp4", picture + sound + QStringList{"-c:v", "libx264", "-c:a", "aac"}));
    QVERIFY(make("mp3.mp4", picture + sound + QStringList{"-c:v", "libx264", "-c:a", "libmp3lame"}));
    QVERIFY(make("picture.mp4", picture + QStringList{"-c:v", "libx264"}));
    QVERIFY(make("sound.m4a", sound + QStringList{"-c:a", "aac"}));
    QVERIFY(make("picture.webm", picture + QStringList{"-c:v", "libvpx"}));
    QVERIFY(make("sound.webm", sound + QStringList{"-c:a", "libopus"}));
    QVERIFY(make("cover.jpg", {"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"}));
    QVERIFY(make("cover.png", {"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"}));
}

QString TestFileTags::write(const QString &writer, const QString &out, const download::media::Tags &tags)
{
    net::Step error;
    if (writer == "join" && !download::streams::joinToMp4(QList<QStringList>{{path("clip.ts")}}, out, &error, nullptr, nullptr,
                                                {}, nullptr, tags))
        return ui::mainwindow::stepText(error);
    if (writer == "remux mp4" && !download::sitevideo::joinFiles({path("picture.mp4"), path("sound.m4a")}, out, "mp4", &error,
                                                       nullptr, tags))
        return ui::mainwindow::stepText(error);
    if (writer == "remux mkv" && !download::sitevideo::joinFiles({path("picture.webm"), path("sound.webm")}, out, "matroska",
                                                       &error, nullptr, tags))
        return ui::mainwindow::stepText(error);
    if (writer.startsWith("sound only")) {
        const download::streams::SoundOnly r = download::streams::keepSoundOnly(path(writer.endsWith("mp3") ? "mp3.mp4" : "aac.mp4"), out,
                                                            nullptr, tags);
        return r.ok ? QString() : ui::mainwindow::stepText(r.error);
    }
    if (writer == "mp3") {
        const download::sound::Mp3Result r = download::sound::encodeMp3(path("aac.mp4"), out, 4, {}, nullptr, tags);
        return r.ok ? QString() : ui::mainwindow::stepText(r.error);
    }
    return ui::mainwindow::stepText(error);
}

void TestFileTags::writers_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("cover");
    QTest::addColumn<int>("media"); // picture and sound streams the file keeps
    QTest::newRow("MP4 joined from pieces, JPEG") << "join" << "joined.mp4" << "cover.jpg" << 2;
    QTest::newRow("MP4 remuxed, PNG") << "remux mp4" << "remuxed.mp4" << "cover.png" << 2;
    QTest::newRow("MKV remuxed, JPEG") << "remux mkv" << "remuxed.mkv" << "cover.jpg" << 2;
    QTest::newRow("MKV remuxed, PNG") << "remux mkv" << "remuxed2.mkv" << "cover.png" << 2;
    QTest::newRow("M4A sound only, JPEG") << "sound only" << "sound.m4a" << "cover.jpg" << 1;
    QTest::newRow("MP3 sound only, PNG") << "sound only mp3" << "sound.mp3" << "cover.png" << 1;
    QTest::newRow("MP3 encoded, JPEG") << "mp3" << "encoded.mp3" << "cover.jpg" << 1;
}

void TestFileTags::writers()
{
    QFETCH(QString, writer);
    QFETCH(QString, out);
    QFETCH(QString, cover);
    QFETCH(int, media);
    download::media::Tags tags;
    tags.title = QStringLiteral("Talk: Über Tags");
    tags.artist = QStringLiteral("River Channel");
    tags.date = QStringLiteral("20240131");
    tags.description = longDescription();
    tags.address = QStringLiteral("https://www.rivertube.test/watch?v=yt1");
    tags.cover = fileBytes(path(cover));
    QVERIFY(tags.cover.size() > 100);
    const QString error = write(writer, path(out), tags);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const test::ReadBack r = test::readBack(path(out));
    QVERIFY(r.opened);
    QCOMPARE(r.tags.value("title"), tags.title);
    QCOMPARE(r.tags.value("artist"), tags.artist);
    QCOMPARE(r.tags.value("date"), QStringLiteral("2024-01-31"));
    const QString cut = r.tags.value("description");
    QCOMPARE(cut, QStringLiteral("a") + QString(2047, QChar(0xE9))); // 4095 bytes: the next character did not fit
    QCOMPARE(r.tags.value("comment"), tags.address);
    QCOMPARE(r.cover, tags.cover);
    QCOMPARE(r.mediaStreams, media);
}

void TestFileTags::untagged_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("out");
    QTest::newRow("MP4 joined") << "join" << "plain.mp4";
    QTest::newRow("MKV remuxed") << "remux mkv" << "plain.mkv";
    QTest::newRow("M4A sound only") << "sound only" << "plain.m4a";
    QTest::newRow("MP3 encoded") << "mp3" << "plain.mp3";
}

// Without tags the file says nothing of its own; and a cover that is no
// JPEG or PNG is left out, the words still written.
void TestFileTags::untagged()
{
    QFETCH(QString, writer);
    QFETCH(QString, out);
    const QString error = write(writer, path(out), {});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    test::ReadBack r = test::readBack(path(out));
    QVERIFY(r.opened);
    QVERIFY(!r.tags.contains("title"));
    QVERIFY(!r.tags.contains("comment"));
    QVERIFY(r.cover.isEmpty());
    download::media::Tags notAPicture;
    notAPicture.title = QStringLiteral("Only words");
    notAPicture.cover = "<html>not found</html>";
    const QString again = write(writer, path("x" + out), notAPicture);
    QVERIFY2(again.isEmpty(), qPrintable(again));
    r = test::readBack(path("x" + out));
    QCOMPARE(r.tags.value("title"), notAPicture.title);
    QVERIFY(r.cover.isEmpty());
}

void TestFileTags::cut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short stays") << "Talk" << 4096 << "Talk";
    QTest::newRow("exactly the bound") << QString(4096, 'x') << 4096 << QString(4096, 'x');
    QTest::newRow("one past") << QString(4097, 'x') << 4096 << QString(4096, 'x');
    QTest::newRow("two-byte character across the bound") << longDescription() << 4096
                                                            << QStringLiteral("a") + QString(2047, QChar(0xE9));
    QTest::newRow("four-byte character across the bound")
        << QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x8E\xAC\xF0\x9F\x8E\xAC") << 7
        << QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x8E\xAC");
    QTest::newRow("nothing fits") << QString::fromUtf8("\xE2\x82\xAC") << 2 << QString();
}

void TestFileTags::cut()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QFETCH(QString, expected);
    const QString result = download::media::cutUtf8(text, bytes);
    QCOMPARE(result, expected);
    QVERIFY(result.toUtf8().size() <= bytes);
}

void TestFileTags::dates_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("date");
    QTest::newRow("yt-dlp's upload_date") << "20240131" << "2024-01-31";
    QTest::newRow("a page's time") << "2023-06-05T10:00:00Z" << "2023-06-05";
    QTest::newRow("a month") << "2023-06" << "2023-06";
    QTest::newRow("a year") << "1999" << "1999";
    QTest::newRow("words") << "yesterday" << "";
    QTest::newRow("too many digits") << "202401311" << "";
}

void TestFileTags::dates()
{
    QFETCH(QString, written);
    QFETCH(QString, date);
    QCOMPARE(download::media::dateOf(written), date);
}

// Kept with a row as text, the picture's address but never its bytes.
void TestFileTags::keptText()
{
    download::media::Tags tags{QStringLiteral("Talk"), QStringLiteral("River"), QStringLiteral("20240131"), longDescription(),
                     QStringLiteral("https://a.test/v"), QStringLiteral("https://a.test/c.jpg"), "\xFF\xD8\xFF"};
    const std::optional<download::media::Tags> back = download::media::parseTags(download::media::tagsText(tags));
    QVERIFY(back);
    QCOMPARE(back->title, tags.title);
    QCOMPARE(back->date, QStringLiteral("2024-01-31"));
    QCOMPARE(back->description.toUtf8().size(), 4095);
    QCOMPARE(back->coverUrl, tags.coverUrl);
    QVERIFY(back->cover.isEmpty());
    QVERIFY(!download::media::parseTags("not json"));
}

QTEST_GUILESS_MAIN(TestFileTags)
#include "tst_filetags.moc"
