// A row handed over from a browser's tab is named after the tab's title
// when its address names nothing worth keeping, else as a paste is.
#include "resolve/tabname.h"
#include <QtTest>

using namespace vidrona;

class TestTabName : public QObject
{
    Q_OBJECT
private slots:
    void nameForTab_data();
    void nameForTab();
};

void TestTabName::nameForTab_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("given"); // the paste's name
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    const QString talk = "Talk: the river / part 1";
    QTest::newRow("HLS index") << "http://a.test/v/index.m3u8" << "index.mp4" << talk << "Talk: the river _ part 1.mp4";
    QTest::newRow("DASH manifest") << "http://a.test/v/master.mpd?t=1" << "master.mp4" << "Talk" << "Talk.mp4";
    QTest::newRow("playlist, no name given") << "http://a.test/hls/lesson.m3u8" << "" << "Members' film night"
                                             << "Members' film night.mp4";
    QTest::newRow("no video extension: the type's kept") << "http://a.test/get.php?id=3" << "get.php.webm" << "Talk"
                                                         << "Talk.webm";
    QTest::newRow("no extension at all") << "http://a.test/video/12345" << "12345" << "Talk" << "Talk";
    QTest::newRow("a video's own name stays") << "http://a.test/private/film.mp4" << "film.mp4" << "Talk"
                                              << "film.mp4";
    QTest::newRow("a sound's own name stays") << "http://a.test/a/song.opus" << "song.opus" << "Talk" << "song.opus";
    QTest::newRow("no title: the paste's rule") << "http://a.test/v/index.m3u8" << "index.mp4" << "  " << "index.mp4";
    QTest::newRow("a title of dots and blanks") << "http://a.test/v/index.m3u8" << "index.mp4" << " ... "
                                                << "video.mp4";
}

void TestTabName::nameForTab()
{
    QFETCH(QString, address);
    QFETCH(QString, given);
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(resolve::nameForTab(address, given, title), name);
}

QTEST_MAIN(TestTabName)
#include "tst_tabname.moc"
