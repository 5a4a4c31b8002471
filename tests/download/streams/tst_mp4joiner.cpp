// Joining streamed pieces into one MP4. The fixtures are made here by the
// ffmpeg program (a test picture and a tone, cut into HLS pieces); the
// result is checked by decoding it: the same video frames as ffmpeg reads
// from the playlist, the same length, both streams there.
#include "ui/mainwindow/steptexts.h"
#include "download/streams/mp4joiner.h"
#include "download/streams/aesstream.h"
#include "download/streams/hlsplaylist.h"
#include "support/mediatools.h"
#include "support/testenv.h"
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::streams;

namespace {

// The files of a media playlist, its init section first.
QStringList piecesOf(const QString &playlist)
{
    const HlsPlaylist p = readHlsPlaylist(test::readFile(playlist), QUrl::fromLocalFile(playlist));
    QStringList files;
    if (!p.media.maps.isEmpty())
        files << p.media.maps.first().url.toLocalFile();
    for (const HlsPiece &piece : p.media.pieces)
        files << piece.url.toLocalFile();
    return files;
}

} // namespace

class TestMp4Joiner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void joins_data();
    void joins();
    void brokenPieceFails();
    void pieceNotAPlainFile_data();
    void pieceNotAPlainFile();
    void aes128_data();
    void aes128();

private:
    QTemporaryDir m_dir;
    QString hls(const QString &name, const QStringList &encode);
};

void TestMp4Joiner::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// Cuts a 4-second test picture and tone into 1-second HLS pieces.
QString TestMp4Joiner::hls(const QString &name, const QStringList &encode)
{
    const QString folder = m_dir.filePath(name);
    QDir().mkpath(folder);
    QStringList args{"-v", "error", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=4",
                     "-f", "lavfi", "-i", "sine=frequency=440:duration=4"};
    args << encode << "-f" << "hls" << "-hls_time" << "1" << "-hls_playlist_type" << "vod"
         << QDir(folder).filePath("index.m3u8");
    return test::runTool("ffmpeg", args) ? QDir(folder).filePath("index.m3u8") : QString();
}

void TestMp4Joiner::joins_data()
{
    QTest::addColumn<QStringList>("video"); // how the video playlist is made
    QTest::addColumn<QStringList>("audio"); // empty: the sound is in the video's pieces
    QTest::addColumn<QStringList>("kinds");
    const QStringList h264{"-c:v", "libx264", "-g", "10", "-pix_fmt", "yuv420p"};
    QTest::newRow("TS pieces") << QStringList(h264 + QStringList{"-c:a", "aac", "-hls_segment_type", "mpegts"})
                               << QStringList() << QStringList{"audio", "video"};
    QTest::newRow("CMAF pieces") << QStringList(h264 + QStringList{"-c:a", "aac", "-hls_segment_type", "fmp4"})
                                 << QStringList() << QStringList{"audio", "video"};
    QTest::newRow("separate sound") << QStringList(h264 + QStringList{"-an", "-hls_segment_type", "fmp4"})
                                    << QStringList{"-vn", "-c:a", "aac", "-hls_segment_type", "fmp4"}
                                    << QStringList{"audio", "video"};
}

void TestMp4Joiner::joins()
{
    QFETCH(QStringList, video);
    QFETCH(QStringList, audio);
    QFETCH(QStringList, kinds);
    const QString tag = QTest::currentDataTag();
    const QString v = hls(tag + "-v", video);
    QVERIFY(!v.isEmpty());
    QList<QStringList> inputs{piecesOf(v)};
    QCOMPARE(inputs.first().size() >= 4, true);
    if (!audio.isEmpty()) {
        const QString a = hls(tag + "-a", audio);
        QVERIFY(!a.isEmpty());
        inputs << piecesOf(a);
    }
    const QString out = m_dir.filePath(tag + ".mp4");
    net::Step error;
    QVERIFY2(joinToMp4(inputs, out, &error), qPrintable(ui::mainwindow::stepText(error)));
    QCOMPARE(test::streamKinds(out), kinds);
    // Four seconds, give or take the sound's priming and the last frame.
    QVERIFY2(qAbs(test::durationOf(out) - 4.0) < 0.3, qPrintable(QString::number(test::durationOf(out))));
    const QByteArray sums = test::frameSums(out, "v");
    QCOMPARE(sums.count('\n'), 40);
    QCOMPARE(sums, test::frameSums(v, "v")); // the frames ffmpeg reads from the playlist
}

void TestMp4Joiner::brokenPieceFails()
{
    const QString v = hls("broken", {"-c:v", "libx264", "-an", "-hls_segment_type", "fmp4"});
    QStringList pieces = piecesOf(v);
    QFile::resize(pieces.first(), 20); // the init section cut short
    net::Step error;
    QVERIFY(!joinToMp4({pieces}, m_dir.filePath("broken.mp4"), &error));
    QVERIFY(!error.isEmpty());
    pieces = piecesOf(v);
    pieces << m_dir.filePath("gone.m4s");
    QVERIFY(!joinToMp4({pieces}, m_dir.filePath("gone.mp4"), &error));
}

// A piece's name that something else took over (a link to another file, a
// pipe) is never read through: the join fails and says so, and never
// waits on a pipe that nobody writes.
void TestMp4Joiner::pieceNotAPlainFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a link to a whole piece") << "link";
    QTest::newRow("a pipe") << "fifo";
}

void TestMp4Joiner::pieceNotAPlainFile()
{
    QFETCH(QString, kind);
    // A key picture every second, so that there are pieces after the first.
    const QString v = hls("taken-" + kind, {"-c:v", "libx264", "-g", "10", "-an", "-hls_segment_type", "mpegts"});
    QVERIFY(!v.isEmpty());
    const QStringList pieces = piecesOf(v);
    QVERIFY2(pieces.size() > 1, qPrintable(QString::number(pieces.size())));
    const QString taken = pieces.at(1);
    const QString kept = taken + ".moved";
    QVERIFY(QFile::rename(taken, kept));
    if (kind == "link")
        QVERIFY(QFile::link(kept, taken));
    else
        QVERIFY(test::runTool("mkfifo", {taken}));
    net::Step error;
    QVERIFY(!joinToMp4({pieces}, m_dir.filePath("taken-" + kind + ".mp4"), &error));
    QCOMPARE(error.kind, net::Step::PieceNotPlain);
    QCOMPARE(error.path, taken);
    QCOMPARE(ui::mainwindow::stepText(error), taken + ": not a plain file");
}

void TestMp4Joiner::aes128_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("ok");
    QTest::newRow("the right key") << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f") << true;
    QTest::newRow("another key") << QByteArray::fromHex("ff0102030405060708090a0b0c0d0e0f") << false;
    QTest::newRow("a short key") << QByteArray("short") << false;
}

// Pieces encrypted by ffmpeg with AES-128 come back to the plain ones.
void TestMp4Joiner::aes128()
{
    QFETCH(QByteArray, key);
    QFETCH(bool, ok);
    const QString folder = m_dir.filePath(QString("aes-%1").arg(QTest::currentDataTag()));
    QDir().mkpath(folder);
    const QByteArray realKey = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QString keyFile = test::writeFile(folder, "k.bin", realKey);
    test::writeFile(folder, "keyinfo", ("k.bin\n" + keyFile + "\n").toUtf8());
    const QString v = hls(QString("aes-%1").arg(QTest::currentDataTag()),
                          {"-c:v", "libx264", "-c:a", "aac", "-hls_key_info_file", QDir(folder).filePath("keyinfo")});
    QVERIFY(!v.isEmpty());
    const HlsPlaylist p = readHlsPlaylist(test::readFile(v), QUrl::fromLocalFile(v));
    QCOMPARE(p.media.keys.size() >= 1, true);
    QStringList plain;
    for (const HlsPiece &piece : p.media.pieces) {
        bool decrypted = false;
        const QByteArray bytes = decryptAes128(test::readFile(piece.url.toLocalFile()), key,
                                               ivFor(p.media.keys.at(piece.key), piece.sequence), &decrypted);
        QCOMPARE(decrypted && bytes.startsWith('G'), ok); // a TS packet begins with 0x47
        if (!ok)
            return;
        plain << test::writeFile(folder, piece.url.fileName() + ".plain", bytes);
    }
    net::Step error;
    QVERIFY2(joinToMp4({plain}, QDir(folder).filePath("out.mp4"), &error), qPrintable(ui::mainwindow::stepText(error)));
    QCOMPARE(test::frameSums(QDir(folder).filePath("out.mp4"), "v"), test::frameSums(v, "v"));
}

QTEST_GUILESS_MAIN(TestMp4Joiner)
#include "tst_mp4joiner.moc"
