// The text work of each site resolver, apart from any window or network.
#include "resolve/resolvers.h"
#include <QtTest>

using namespace vidrona;
using resolve::Quality;

Q_DECLARE_METATYPE(Quality)

namespace {
// Expected results: an empty text stands for "no usable link found".
QString found(const std::optional<QString> &r)
{
    return r ? *r : QStringLiteral("<none>");
}
const QString none = QStringLiteral("<none>");
const QString tvaliMarker = QStringLiteral("xmlFile=http://tvali.ge");
const QString allMarker = QStringLiteral("file=http://allvideos.ge/xml.php?uid=");
} // namespace

class TestResolverText : public QObject
{
    Q_OBJECT
private slots:
    void videkta_data();
    void videkta();
    void tvaliXml_data();
    void tvaliXml();
    void tvaliFile_data();
    void tvaliFile();
    void allVideos_data();
    void allVideos();
    void encodeServiceUrl_data();
    void encodeServiceUrl();
    void metacafe_data();
    void metacafe();
    void breakLinks_data();
    void breakLinks();
    void dailyMotion_data();
    void dailyMotion();
    void google_data();
    void google();
    void usableFileUrl_data();
    void usableFileUrl();
};

void TestResolverText::videkta_data()
{
    QTest::addColumn<QString>("videoUrl");
    QTest::addColumn<QString>("expected");
    const QString base = QStringLiteral("http://www.videkta.ge/flv/");
    QTest::newRow("147629 in folder 15") << "http://www.videkta.ge/?video_id=147629" << base + "15/147629.flv";
    QTest::newRow("exact multiple 150000 in folder 15") << "http://www.videkta.ge/?video_id=150000" << base + "15/150000.flv";
    QTest::newRow("one more than a multiple") << "http://www.videkta.ge/?video_id=150001" << base + "16/150001.flv";
    QTest::newRow("10000 in folder 1") << "http://www.videkta.ge/?video_id=10000" << base + "1/10000.flv";
    QTest::newRow("first video in folder 1") << "http://www.videkta.ge/?video_id=1" << base + "1/1.flv";
    QTest::newRow("text after the first =") << "http://www.videkta.ge/?a=20001" << base + "3/20001.flv";
    QTest::newRow("leading zeros kept in the name") << "http://www.videkta.ge/?video_id=0147629" << base + "15/0147629.flv";
    QTest::newRow("second = makes it no number") << "http://www.videkta.ge/?video_id=1&x=2" << none;
    QTest::newRow("letters are no number") << "http://www.videkta.ge/?video_id=abc" << none;
    QTest::newRow("empty number") << "http://www.videkta.ge/?video_id=" << none;
    QTest::newRow("no = at all") << "http://www.videkta.ge/147629" << none;
    QTest::newRow("negative") << "http://www.videkta.ge/?video_id=-5" << none;
    QTest::newRow("too many digits") << "http://www.videkta.ge/?video_id=1234567890123456" << none;
    QTest::newRow("largest taken") << "http://www.videkta.ge/?video_id=999999999999999"
                                   << base + "100000000000/999999999999999.flv";
}

void TestResolverText::videkta()
{
    QFETCH(QString, videoUrl);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::Videkta(videoUrl)), expected);
}

void TestResolverText::tvaliXml_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("flash variable")
        << "<param name=\"flashvars\" value=\"" + tvaliMarker + "/p.php?v=6181\">" << "http://tvali.ge/p.php?v=6181";
    QTest::newRow("two markers, first wins")
        << tvaliMarker + "/one.xml\" x " + tvaliMarker + "/two.xml\"" << "http://tvali.ge/one.xml";
    QTest::newRow("marker in capitals") << "XMLFILE=HTTP://TVALI.GE/a.xml\"" << none;
    QTest::newRow("other host") << "xmlFile=http://other.ge/a.xml\"" << none;
    QTest::newRow("no closing quote") << tvaliMarker + "/a.xml" << none;
    QTest::newRow("empty page") << "" << none;
    QTest::newRow("marker at the very start") << tvaliMarker + "\"" << "http://tvali.ge";
}

void TestResolverText::tvaliXml()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::TvaliXmlUrl(page)), expected);
}

void TestResolverText::tvaliFile_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("expected");
    QTest::newRow("path attribute") << "<video id=\"1\" path=\"http://tvali.ge/files/1.flv\" title=\"t\"/>"
                                    << "http://tvali.ge/files/1.flv";
    QTest::newRow("two paths, first wins") << "path=\"http://a/1.flv\" path=\"http://a/2.flv\"" << "http://a/1.flv";
    QTest::newRow("no path") << "<video file=\"http://a/1.flv\"/>" << none;
    QTest::newRow("Path in capitals") << "PATH=\"http://a/1.flv\"" << none;
    QTest::newRow("no closing quote") << "path=\"http://a/1.flv" << none;
    QTest::newRow("empty answer") << "" << none;
}

void TestResolverText::tvaliFile()
{
    QFETCH(QString, xml);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::TvaliFile(xml)), expected);
}

void TestResolverText::allVideos_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("expected");
    QTest::newRow("U / one character F : N quote")
        << "flashvars=\"" + allMarker + "UUU/sFF:NN\" x" << "http://allvideos.ge/UUU/FF/videos/NN.flv";
    QTest::newRow("two markers, first wins")
        << allMarker + "A/xB:C\" " + allMarker + "D/xE:F\"" << "http://allvideos.ge/A/B/videos/C.flv";
    QTest::newRow("the skipped character may be anything")
        << allMarker + "LNNQPVMSP/:200811:lnn\"" << "http://allvideos.ge/LNNQPVMSP/200811/videos/lnn.flv";
    QTest::newRow("marker in capitals") << "FILE=HTTP://ALLVIDEOS.GE/XML.PHP?UID=A/xB:C\"" << none;
    QTest::newRow("no slash after the marker") << allMarker + "ABC" << none;
    QTest::newRow("no colon") << allMarker + "A/xB\"" << none;
    QTest::newRow("no quote") << allMarker + "A/xB:C" << none;
    QTest::newRow("empty page") << "" << none;
}

void TestResolverText::allVideos()
{
    QFETCH(QString, page);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::AllVideos(page)), expected);
}

void TestResolverText::encodeServiceUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");
    QTest::newRow("watch address") << "http://www.metacafe.com/watch?v=abc"
                                   << "http%3A%2F%2Fwww.metacafe.com%2Fwatch%3Fv%3Dabc";
    QTest::newRow("all twelve") << ":;&=/\\><?!+-" << "%3A%3B%26%3D%2F%5C%3E%3C%3F%21%2B%2D";
    QTest::newRow("others pass unchanged") << "a.b%c_d#e f~" << "a.b%c_d#e f~";
    QTest::newRow("a percent stays, its escape is not redone") << "%3A:" << "%3A%3A";
    QTest::newRow("google page") << "http://video.google.com/videoplay?docid=-36&q=s"
                                 << "http%3A%2F%2Fvideo.google.com%2Fvideoplay%3Fdocid%3D%2D36%26q%3Ds";
    QTest::newRow("empty") << "" << "";
}

void TestResolverText::encodeServiceUrl()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(resolve::EncodeServiceUrl(address), expected);
    QCOMPARE(resolve::ServiceRequest(address), "links.vidrona-resolver.net/?url=" + expected);
}

void TestResolverText::metacafe_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first file-server link, up to its quote")
        << "<a href=\"http://files.metacafe.com/items/1/a.flv\">x</a><a href=\"http://files.metacafe.com/items/2/b.flv\">"
        << "http://files.metacafe.com/items/1/a.flv";
    QTest::newRow("other hosts are passed over")
        << "\"http://www.metacafe.com/x.flv\" \"http://files.metacafe.com/y.flv\"" << "http://files.metacafe.com/y.flv";
    QTest::newRow("no file-server link") << "<p>No downloadable video</p>" << none;
    QTest::newRow("host without its slash") << "http://files.metacafe.com\"" << none;
    QTest::newRow("no quote after the link") << "http://files.metacafe.com/a.flv" << none;
}

void TestResolverText::metacafe()
{
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::Metacafe(answer)), expected);
}

void TestResolverText::breakLinks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<Quality>("quality");
    QTest::addColumn<QString>("expected");
    const QString answer = "<a href=\"http://media1.break.com/dnet/media/2008/5/wheel.flv\">1</a>";
    QTest::newRow("low: the link as found") << answer << Quality::Low << "http://media1.break.com/dnet/media/2008/5/wheel.flv";
    QTest::newRow("high: wmv swapped in") << answer << Quality::High << "http://media1.break.com/dnet/media/2008/5/wheel.wmv";
    QTest::newRow("avi: nothing") << answer << Quality::Avi << none;
    QTest::newRow("no option chosen") << answer << Quality::None << none;
    QTest::newRow("no media link") << "<p>nothing</p>" << Quality::Low << none;
    QTest::newRow("/media too near the start") << "/media/x.flv\"" << Quality::Low << none;
    QTest::newRow("no quote") << "http://media1.break.com/a.flv" << Quality::High << none;
}

void TestResolverText::breakLinks()
{
    QFETCH(QString, answer);
    QFETCH(Quality, quality);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::Break(answer, quality)), expected);
}

void TestResolverText::dailyMotion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("proxy link") << "<a href=\"http://proxy-12.dailymotion.com/get/x.flv?key=1\">"
                                << "http://proxy-12.dailymotion.com/get/x.flv?key=1";
    QTest::newRow("first proxy wins") << "\"http://proxy-1.d/a\" \"http://proxy-2.d/b\"" << "http://proxy-1.d/a";
    QTest::newRow("no proxy") << "<p>none</p>" << none;
    QTest::newRow("proxy without room for http://") << "proxy/x\"" << none;
    QTest::newRow("no quote") << "http://proxy-1.d/a" << none;
}

void TestResolverText::dailyMotion()
{
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::DailyMotion(answer)), expected);
}

void TestResolverText::google_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<Quality>("quality");
    QTest::addColumn<QString>("expected");
    const QString three = "<a href=\"http://vp.video.g/d?id=1&amp;f=flv\">1</a>"
                          "<a href=\"http://vp.video.g/d?id=1&amp;f=mp4&amp;s=2\">2</a>"
                          "<a href=\"http://vp.video.g/d?id=1&amp;f=avi\">3</a>";
    QTest::newRow("low takes the first, amp; kept") << three << Quality::Low << "http://vp.video.g/d?id=1&amp;f=flv";
    QTest::newRow("high takes the second, amp; removed") << three << Quality::High << "http://vp.video.g/d?id=1&f=mp4&s=2";
    QTest::newRow("avi takes the third") << three << Quality::Avi << "http://vp.video.g/d?id=1&f=avi";
    const QString one = "<a href=\"http://vp.video.g/d?id=1\">1</a>";
    QTest::newRow("high with one link") << one << Quality::High << none;
    QTest::newRow("avi with two links") << one + one << Quality::Avi << none;
    QTest::newRow("no links") << "<p>none</p>" << Quality::Low << none;
    QTest::newRow("no option chosen") << three << Quality::None << none;
    QTest::newRow("no quote") << "http://vp.video.g/d" << Quality::Low << none;
    QTest::newRow("vp.video without room for http://") << "vp.video\"" << Quality::Low << none;
}

void TestResolverText::google()
{
    QFETCH(QString, answer);
    QFETCH(Quality, quality);
    QFETCH(QString, expected);
    QCOMPARE(found(resolve::Google(answer, quality)), expected);
}

void TestResolverText::usableFileUrl_data()
{
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << "http://tvali.ge/files/1.flv" << true;
    QTest::newRow("no slash") << "video.flv" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("CR LF") << "http://a/b.flv\r\nCOMPLETED" << false;
    QTest::newRow("tab") << "http://a/b\t.flv" << false;
    QTest::newRow("NUL") << QString("http://a/b") + QChar(0) + ".flv" << false;
    QTest::newRow("DEL") << QString("http://a/b") + QChar(0x7f) << false;
}

void TestResolverText::usableFileUrl()
{
    QFETCH(QString, fileUrl);
    QFETCH(bool, usable);
    QCOMPARE(resolve::isUsableFileUrl(fileUrl), usable);
}

QTEST_GUILESS_MAIN(TestResolverText)
#include "tst_resolvertext.moc"
