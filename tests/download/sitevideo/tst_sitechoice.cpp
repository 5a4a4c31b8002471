// The user's quality choice over a site's formats: the same rule as a
// stream's variants (streams::chooseVideo, chooseSound) picks among them,
// each format read as a Quality in the answer's order. Then fetched over
// real loopback HTTP from the simulated video site: a VP9 and Opus pair
// joined into Matroska, and sound only kept alone (Opus, AAC, or encoded
// as MP3), each read back with ffprobe. The chosen formats are kept in the
// engine's record; the bare file of earlier versions is still read.
#include "download/engine/record.h"
#include "download/sitevideo/sitefetch.h"
#include "download/transfer.h"
#include "support/testenv.h"
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::sitevideo;
using namespace vidrona::download;

namespace {
const QString page = "http://www.rivertube.test/watch?v=yt1";

Format format(const QString &id, const QString &vcodec, const QString &acodec, int height, double tbr,
              const QString &ext = "mp4")
{
    Format f;
    f.id = id;
    f.url = "http://media.rivertube.test/v/" + id;
    f.protocol = "https";
    f.ext = ext;
    f.vcodec = vcodec;
    f.acodec = acodec;
    f.height = height;
    f.width = height * 16 / 9;
    f.tbr = tbr;
    return f;
}

// A site's answer as yt-dlp lists it, worst to best: pictures at three
// heights in H.264 and VP9, an AAC and an Opus sound, a muxed 360p file.
Info manyQualities()
{
    Info info;
    info.title = "Talk";
    info.duration = 100;
    info.formats = {format("18", "avc1.42001E", "mp4a.40.2", 360, 500),
                    format("140", "none", "mp4a.40.2", 0, 128, "m4a"),
                    format("251", "none", "opus", 0, 160, "webm"),
                    format("135", "avc1.4d401e", "none", 480, 1000),
                    format("244", "vp9", "none", 480, 900, "webm"),
                    format("136", "avc1.4d401f", "none", 720, 2500),
                    format("247", "vp9", "none", 720, 2300, "webm"),
                    format("137", "avc1.640028", "none", 1080, 4500),
                    format("248", "vp9", "none", 1080, 4300, "webm")};
    info.formats[7].filesize = 56250000;
    info.formats[7].sizeExact = true;
    return info;
}

QStringList ids(const Choice &choice)
{
    QStringList out;
    for (const Format &f : choice.parts)
        out << f.id;
    return out;
}

// What ffprobe reads in the file: "format;kind:codec,kind:codec".
QString probe(const QString &path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries", "format=format_name:stream=codec_type,codec_name", "-of",
                        "compact=p=0:nk=1", path});
    p.waitForFinished(30000);
    const QStringList lines = QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QStringList streams;
    QString container;
    for (const QString &line : lines) {
        const QStringList v = line.split('|');
        if (v.size() == 2)
            streams << v[1] + ':' + v[0];
        else
            container = v.value(0);
    }
    return container.section(',', 0, 0) + ';' + streams.join(',');
}

Format served(const QString &id, const QString &path, const QString &vcodec, const QString &acodec)
{
    Format f = format(id, vcodec, acodec, 0, 0, path.section('.', -1));
    f.url = "http://media.rivertube.test/v/" + path + "?expire=4102444800&sig=x";
    f.protocol = "http";
    f.headers = {{"X-Site-Token", "t0k3n"}};
    return f;
}
} // namespace

class TestSiteChoice : public QObject
{
    Q_OBJECT
private slots:
    void qualitiesFollowTheFormats();
    void choiceOverFormats_data();
    void choiceOverFormats();
    void keptInTheRecord();
    void earlierFileStillRead();
    void fetchedAndJoined_data();
    void fetchedAndJoined();
};

void TestSiteChoice::qualitiesFollowTheFormats()
{
    const Info info = manyQualities();
    const QList<streams::Quality> q = qualities(info);
    QCOMPARE(q.size(), info.formats.size());
    QVERIFY(q[0].video && q[0].sound); // the muxed file
    QVERIFY(!q[1].video && q[1].sound);
    QVERIFY(q[7].video && !q[7].sound);
    QCOMPARE(q[7].height, 1080);
    QCOMPARE(q[7].width, 1920);
    QCOMPARE(q[7].bitrate, qint64(4500000));
    QCOMPARE(q[7].bytes, qint64(56250000));
    QCOMPARE(q[7].codecs, QByteArray("avc1.640028"));
    QCOMPARE(q[0].codecs, QByteArray("avc1.42001E,mp4a.40.2"));
    bool about = false;
    QCOMPARE(q[5].size(&about), qint64(2500000.0 * 100 / 8)); // bitrate × length
    QVERIFY(about);
}

void TestSiteChoice::choiceOverFormats_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<int>("picked");
    QTest::addColumn<QStringList>("wanted");
    QTest::addColumn<QString>("container");
    QTest::newRow("best") << QByteArray("best") << -1 << QStringList{"137", "140"} << "mp4";
    QTest::newRow("up to 1080p") << QByteArray("1080") << -1 << QStringList{"137", "140"} << "mp4";
    QTest::newRow("up to 720p") << QByteArray("720") << -1 << QStringList{"136", "140"} << "mp4";
    QTest::newRow("up to 480p") << QByteArray("480") << -1 << QStringList{"135", "140"} << "mp4";
    QTest::newRow("sound only: the best sound alone") << QByteArray("sound") << -1 << QStringList{"251"} << "webm";
    QTest::newRow("picked VP9 720p: with a sound, for MKV") << QByteArray("best") << 6 << QStringList{"247", "251"} << "mkv";
    QTest::newRow("picked H.264 480p: AAC beside it") << QByteArray("best") << 3 << QStringList{"135", "140"} << "mp4";
    QTest::newRow("picked the muxed file") << QByteArray("best") << 0 << QStringList{"18"} << "mp4";
    QTest::newRow("picked past the list: by the rule") << QByteArray("720") << 99 << QStringList{"136", "140"} << "mp4";
}

void TestSiteChoice::choiceOverFormats()
{
    QFETCH(QByteArray, quality);
    QFETCH(int, picked);
    QFETCH(QStringList, wanted);
    QFETCH(QString, container);
    Wish wish = Wish::of(streams::QualityChoice::fromKey(quality));
    wish.picked = picked;
    const Choice choice = choose(manyQualities(), wish);
    QCOMPARE(ids(choice), wanted);
    QCOMPARE(choice.container, container);
    QCOMPARE(choice.quality, quality == "best" ? QByteArray() : quality);
    // The choice and its quality come back from their text.
    const std::optional<Choice> back = parseChoice(choiceText(choice));
    QVERIFY(back);
    QCOMPARE(back->quality, choice.quality);
    QCOMPARE(back->parts, choice.parts);
}

void TestSiteChoice::keptInTheRecord()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("a.mp4");
    Choice choice = choose(manyQualities(), Wish::of(streams::QualityChoice::fromKey("720")));
    QVERIFY(keepChoice(target, page, choiceText(choice)));
    const std::optional<engine::FetchRecord> record = engine::readRecord(choicePath(target));
    QVERIFY(record);
    QCOMPARE(record->kind, engine::FetchRecord::Kind::Formats);
    QCOMPARE(record->address, page.toUtf8());
    QCOMPARE(record->quality, QByteArray("720"));
    QVERIFY(test::readFile(choicePath(target)).startsWith("vidrona record 2\nkind formats\n"));
    const QFile::Permissions modes = QFile::permissions(choicePath(target));
    QVERIFY(!(modes & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    QVERIFY(!QFile::exists(earlierChoicePath(target))); // no bare file is written any more
    const std::optional<Choice> back = parseChoice(keptChoiceText(target));
    QVERIFY(back);
    QCOMPARE(ids(*back), (QStringList{"136", "140"}));
    // The record reads back whole; one that would span lines is never written.
    QVERIFY(engine::parseRecord(engine::recordText(*record)) == record);
    engine::FetchRecord broken = *record;
    broken.formats += "\nkind file";
    QVERIFY(engine::recordText(broken).isEmpty());
    // A record that is not of formats is no choice.
    engine::FetchRecord other = *record;
    other.kind = engine::FetchRecord::Kind::Pieces;
    other.digest = "d", other.pieces = 1;
    QVERIFY(engine::writeRecord(choicePath(target), other));
    QVERIFY(keptChoiceText(target).isEmpty());
}

void TestSiteChoice::earlierFileStillRead()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("b.mp4");
    const QByteArray text = choiceText(choose(manyQualities()));
    test::writeFile(dir.path(), ".b.mp4.formats", text);
    QCOMPARE(keptChoiceText(target), text);
    QVERIFY(keepChoice(target, page, text)); // the record takes over
    QVERIFY(!QFile::exists(earlierChoicePath(target)));
    QCOMPARE(keptChoiceText(target), text);
    test::writeFile(dir.path(), ".b.mp4.formats", text);
    dropChoice(target);
    QVERIFY(!QFile::exists(choicePath(target)));
    QVERIFY(!QFile::exists(earlierChoicePath(target)));
}

void TestSiteChoice::fetchedAndJoined_data()
{
    QTest::addColumn<QString>("picture"); // empty: sound only
    QTest::addColumn<QString>("sound");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("placed");
    QTest::addColumn<QString>("read");
    QTest::newRow("VP9 and Opus joined into MKV") << "video.webm" << "audio.webm" << "Talk.mkv" << "Talk.mkv"
                                                  << "matroska;video:vp9,audio:opus";
    QTest::newRow("sound only, Opus") << "" << "audio.webm" << "Talk (sound).m4a" << "Talk (sound).opus" << "ogg;audio:opus";
    QTest::newRow("sound only, AAC") << "" << "audio.m4a" << "Talk (sound).m4a" << "Talk (sound).m4a"
                                     << "mov;audio:aac";
    QTest::newRow("sound only as MP3") << "" << "audio.webm" << "Talk (sound).mp3" << "Talk (sound).mp3" << "mp3;audio:mp3";
}

void TestSiteChoice::fetchedAndJoined()
{
    QFETCH(QString, picture);
    QFETCH(QString, sound);
    QFETCH(QString, name);
    QFETCH(QString, placed);
    QFETCH(QString, read);
    test::LocalWeb web;
    QVERIFY(web.ok());
    testweb::installSimulatedWeb(web.server());
    QTemporaryDir dir;
    Choice choice;
    choice.container = "mkv";
    if (!picture.isEmpty())
        choice.parts.append(served("248", picture, "vp9", "none"));
    else
        choice.quality = "sound";
    choice.parts.append(served(sound.endsWith("webm") ? "251" : "140", sound, "none", sound.endsWith("webm") ? "opus" : "mp4a.40.2"));
    Transfer transfer;
    transfer.setStallTimeout(20000);
    transfer.setMp3Quality(4);
    transfer.setSiteVideo(choiceText(choice));
    QSignalSpy ended(&transfer, &Transfer::finished);
    QVERIFY(transfer.start(QUrl(page), dir.filePath(name)));
    QVERIFY(ended.wait(180000));
    const auto failure = ended.first().first().value<net::Failure>();
    QVERIFY2(!failure.failed(), vidrona::test::describe(failure).constData());
    QCOMPARE(QFileInfo(transfer.placedAt()).fileName(), placed);
    QCOMPARE(probe(transfer.placedAt()), read);
    // Nothing of the parts stays beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{placed});
}

QTEST_MAIN(TestSiteChoice)
#include "tst_sitechoice.moc"
