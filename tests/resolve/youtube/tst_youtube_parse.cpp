// Reading the watch page: title, request query, file address, messages.
#include "ui/youtube/youtubetexts.h"
#include "resolve/youtube/pageparse.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::resolve::youtube;

class TestYouTubeParse : public QObject
{
    Q_OBJECT
private slots:
    void title_data();
    void title();
    void query_data();
    void query();
    void fileAddress_data();
    void fileAddress();
    void lookup_data();
    void lookup();
    void addressPrefix_data();
    void addressPrefix();
};

void TestYouTubeParse::title_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("<title>YouTube - My clip</title>") << "My clip";
    QTest::newRow("stops at the first <") << QByteArray("<title>YouTube - A<B</title>") << "A";
    QTest::newRow("other case") << QByteArray("<title>Youtube - My clip</title>") << "";
    QTest::newRow("other dash") << QByteArray("<title>YouTube: My clip</title>") << "";
    QTest::newRow("references kept") << QByteArray("<title>YouTube - Tom &amp; Jerry</title>")
                                     << "Tom &amp; Jerry";
    QTest::newRow("spans lines") << QByteArray("<title>YouTube - one\r\ntwo\n</title>")
                                 << "one\r\ntwo\n";
    QTest::newRow("first of several") << QByteArray("<title>YouTube - a</title><title>YouTube - b</title>")
                                      << "a";
    QTest::newRow("nothing after the prefix") << QByteArray("<title>YouTube - </title>") << "";
    QTest::newRow("no closing <") << QByteArray("<title>YouTube - open end") << "";
    QTest::newRow("bytes above 127 one each") << QByteArray("<title>YouTube - caf\xe9 \xc3\xa9</title>")
                                              << QString::fromLatin1("caf\xe9 \xc3\xa9");
}

void TestYouTubeParse::title()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, expected);
    QCOMPARE(FindVideoName(QString::fromLatin1(page)), expected);
}

void TestYouTubeParse::query_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("id and token") << QByteArray(R"({"video_id": "abc", "l": 1, "t": "xyz"})")
                                  << "video_id=abc&t=xyz";
    QTest::newRow("token before id") << QByteArray(R"({"t": "xyz", "video_id": "abc"})")
                                     << "video_id=abc&t=xyz";
    QTest::newRow("fmt before t wins") << QByteArray(R"({"video_id": "abc", "fmt": "5", "t": "xyz"})")
                                       << "video_id=abc&t=5";
    QTest::newRow("missing token") << QByteArray(R"({"video_id": "abc", "l": 1})") << "video_id=abc&t=";
    QTest::newRow("no id") << QByteArray(R"({"l": 1, "t": "xyz"})") << "";
    QTest::newRow("empty id value") << QByteArray(R"({"video_id": "", "t": "xyz"})") << "";
    QTest::newRow("first of several ids") << QByteArray(R"({"video_id": "one", "t": "a"} {"video_id": "two"})")
                                          << "video_id=one&t=a";
    QTest::newRow("value crosses a line end") << QByteArray("{\"video_id\": \"ab\ncd\", \"t\": \"x\"}")
                                              << "video_id=ab\ncd&t=x";
    QTest::newRow("key without a blank") << QByteArray(R"({"video_id":"abc", "t": "x"})") << "";
}

void TestYouTubeParse::query()
{
    QFETCH(QByteArray, page);
    QFETCH(QString, expected);
    QCOMPARE(GetVideoId(QString::fromLatin1(page)), expected);
}

void TestYouTubeParse::fileAddress_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("extension");
    const QString base = "http://youtube.com/get_video?video_id=abc&t=xyz";
    QTest::newRow("low") << int(Quality::Low) << base << ".flv";
    QTest::newRow("high mp4") << int(Quality::HighMp4) << base + "&fmt=18" << ".mp4";
    QTest::newRow("high flv") << int(Quality::HighFlv) << base + "&fmt=6" << ".flv";
}

void TestYouTubeParse::fileAddress()
{
    QFETCH(int, quality);
    QFETCH(QString, expected);
    QFETCH(QString, extension);
    QCOMPARE(videoFileUrl("video_id=abc&t=xyz", Quality(quality)), expected);
    QCOMPARE(fileExtension(Quality(quality)), extension);
}

void TestYouTubeParse::lookup_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("message");
    const QString url = " http://youtube.com/watch?v=abc";
    QTest::newRow("found")
        << QByteArray(R"(<title>YouTube - My clip</title> {"video_id": "abc", "t": "xyz"})") << true
        << "My clip" << "http://youtube.com/get_video?video_id=abc&t=xyz&fmt=18" << "";
    QTest::newRow("no title")
        << QByteArray(R"(<title>Other</title> {"video_id": "abc", "t": "xyz"})") << false << ""
        << "" << "Failed extracting video title from video at URL: " + url;
    QTest::newRow("no id keeps the title")
        << QByteArray(R"(<title>YouTube - My clip</title> {"t": "xyz"})") << false << "My clip"
        << "" << "Unable to get VideoId from video at URL \r\n" + url;
    QTest::newRow("missing token still builds")
        << QByteArray(R"(<title>YouTube - My clip</title> {"video_id": "abc"})") << true
        << "My clip" << "http://youtube.com/get_video?video_id=abc&t=&fmt=18" << "";
}

void TestYouTubeParse::lookup()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, ok);
    QFETCH(QString, title);
    QFETCH(QString, fileUrl);
    QFETCH(QString, message);
    const PageLookup r = lookUpPage(page, Quality::HighMp4);
    QCOMPARE(r.ok, ok);
    QCOMPARE(r.title, title);
    QCOMPARE(r.fileUrl, fileUrl);
    QCOMPARE(ui::youtube::lookupMissText(r.miss, " http://youtube.com/watch?v=abc"), message);
}

void TestYouTubeParse::addressPrefix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yes");
    QTest::newRow("usual") << "http://youtube.com/watch?v=abc" << true;
    QTest::newRow("only scheme and prefix") << "http://youtube." << true;
    QTest::newRow("other case") << "http://YouTube.com/watch?v=abc" << false;
    QTest::newRow("no scheme") << "youtube.com/watch?v=abc" << false;
    QTest::newRow("secure scheme shifts") << "https://youtube.com/watch?v=abc" << false;
    QTest::newRow("www in front") << "http://www.youtube.com/watch?v=abc" << false;
    QTest::newRow("empty") << "" << false;
}

void TestYouTubeParse::addressPrefix()
{
    QFETCH(QString, text);
    QFETCH(bool, yes);
    QCOMPARE(isYouTubeAddress(text), yes);
}

QTEST_GUILESS_MAIN(TestYouTubeParse)
#include "tst_youtube_parse.moc"
