// The Preferences' quality choice over a site's formats, as the window
// asks: the real yt-dlp replays a YouTube-like answer (through a wrapper
// set as its program), and the row it becomes holds the formats the
// choice takes and a name that says the choice. A page read again at the
// row's fetch is chosen from by the choice the row was added with.
#include "infofixtures.h"
#include "resolve/resolvertable.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/formatsreader.h"
#include "download/sitevideo/formats.h"
#include "support/testenv.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::resolve;
namespace yi = vidrona::test::ytinfo;

namespace {
const QString page = "http://www.rivertube.test/watch?v=yt1";

QString partsOf(const QByteArray &siteVideo)
{
    const auto choice = download::sitevideo::parseChoice(siteVideo);
    QStringList ids;
    if (choice)
        for (const auto &f : choice->parts)
            ids << f.id;
    return ids.join('+');
}
} // namespace

class TestYtDlpChoice : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowByChoice_data();
    void rowByChoice();
    void readAgainByTheRowsChoice_data();
    void readAgainByTheRowsChoice();

private:
    std::unique_ptr<test::LocalWeb> m_web;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestYtDlpChoice::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    m_dir = std::make_unique<QTemporaryDir>();
    const QString fixture = test::writeFile(m_dir->path(), "info.json",
                                            yi::youTubeLike("http://media.rivertube.test", 8 << 20, 1 << 20, 1 << 20));
    ytdlp::setSettings({yi::writeWrapper(m_dir->path(), fixture), {}});
}

void TestYtDlpChoice::cleanup()
{
    ytdlp::setSettings({});
    ytdlp::setSaveWish({});
    m_web.reset();
}

void TestYtDlpChoice::rowByChoice_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<bool>("mp3");
    QTest::addColumn<QString>("parts");
    QTest::addColumn<QString>("name");
    // The answer: a 360p muxed file, AAC and Opus sounds, 1080p in H.264 and VP9.
    QTest::newRow("best") << QByteArray("best") << false << "137+140" << "River at night: a film.mp4";
    QTest::newRow("up to 1080p") << QByteArray("1080") << false << "137+140" << "River at night: a film (1080p).mp4";
    QTest::newRow("up to 480p: the small whole file") << QByteArray("480") << false << "18"
                                                      << "River at night: a film (480p).mp4";
    QTest::newRow("sound only") << QByteArray("sound") << false << "251" << "River at night: a film (sound).m4a";
    QTest::newRow("sound only as MP3") << QByteArray("sound") << true << "251" << "River at night: a film (sound).mp3";
    QTest::newRow("a word not known: the best") << QByteArray("8k") << false << "137+140"
                                                  << "River at night: a film.mp4";
}

void TestYtDlpChoice::rowByChoice()
{
    QFETCH(QByteArray, quality);
    QFETCH(bool, mp3);
    QFETCH(QString, parts);
    QFETCH(QString, name);
    ytdlp::setSaveWish({quality, mp3});
    ResolverTable table;
    QSignalSpy spy(&table, &ResolverTable::answered);
    table.start({page, Quality::High});
    QVERIFY(!spy.isEmpty() || spy.wait(90000));
    const Answer answer = spy.first().first().value<Answer>();
    QCOMPARE(int(answer.outcome), int(Answer::Found));
    QCOMPARE(answer.rows.size(), 1);
    QCOMPARE(partsOf(answer.rows[0].siteVideo), parts);
    QCOMPARE(answer.rows[0].fileName.value_or(QString()), name);
    const auto choice = download::sitevideo::parseChoice(answer.rows[0].siteVideo);
    QVERIFY(choice);
    const auto asked = vidrona::download::streams::QualityChoice::fromKey(quality);
    QCOMPARE(choice->quality, asked.isBest() ? QByteArray() : asked.key());
}

void TestYtDlpChoice::readAgainByTheRowsChoice_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<QString>("picked"); // the format picked from a list when the row was added
    QTest::addColumn<QString>("parts");
    QTest::addColumn<QString>("pickedAgain");
    QTest::newRow("best") << QByteArray() << QString() << "137+140" << QString();
    QTest::newRow("480") << QByteArray("480") << QString() << "18" << QString();
    QTest::newRow("sound") << QByteArray("sound") << QString() << "251" << QString();
    // The rule alone would take 248 (the higher rate): the line picked counts.
    QTest::newRow("picked H.264 1080: the same") << QByteArray("1080@4000") << "137" << "137+140" << "137";
    QTest::newRow("picked VP9: with Opus") << QByteArray("1080") << "248" << "248+251" << "248";
    QTest::newRow("picked the AAC sound") << QByteArray("sound@128") << "140" << "140" << "140";
    QTest::newRow("picked one gone: by its rule") << QByteArray("480") << "22" << "18" << QString();
}

// The Preferences may have changed since: the row's own choice counts, and
// a format the user picked is taken again while the page offers it.
void TestYtDlpChoice::readAgainByTheRowsChoice()
{
    QFETCH(QByteArray, quality);
    QFETCH(QString, picked);
    QFETCH(QString, parts);
    QFETCH(QString, pickedAgain);
    ytdlp::setSaveWish({"720", false});
    ytdlp::FormatsReader reader;
    std::atomic<bool> cancel{false};
    net::Failure why;
    const QByteArray text = reader.readAgain(page, quality, cancel, &why, picked);
    QVERIFY2(!text.isEmpty(), qPrintable(QString::number(int(why.cause))));
    QCOMPARE(partsOf(text), parts);
    QCOMPARE(download::sitevideo::parseChoice(text)->quality, quality);
    QCOMPARE(download::sitevideo::parseChoice(text)->picked, pickedAgain);
}

QTEST_MAIN(TestYtDlpChoice)
#include "tst_ytdlpchoice.moc"
