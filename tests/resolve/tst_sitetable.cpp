// The site table: prefixes, recognition of an address, samples and search addresses.
#include "resolve/hosts.h"
#include "resolve/site.h"
#include <QSet>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::resolve;

class TestSiteTable : public QObject
{
    Q_OBJECT
private slots:
    void prefixesAreDistinctAndEightLong();
    void markerLengths();
    void recognition_data();
    void recognition();
    void samplesAreRecognisedAsTheirSite();
    void searchAddresses_data();
    void searchAddresses();
};

void TestSiteTable::prefixesAreDistinctAndEightLong()
{
    const QStringList order = {"Metacafe", "Videkta", "Tvali", "AllVideos",
                               "YouTube", "Break", "DailyMotion", "Google Video"};
    QStringList names;
    QSet<QString> prefixes;
    for (const Site *site : SiteTable()) {
        names << site->name;
        QCOMPARE(site->prefix().size(), 8);
        prefixes.insert(site->prefix());
    }
    QCOMPARE(names, order);
    QCOMPARE(prefixes.size(), 8);
    QCOMPARE(tvaliSite().prefix(), tvaliSite().host); // the whole host name
    QCOMPARE(SearchSites().size(), 8);
    QCOMPARE(SearchSites().at(2), &allVideosSite());
}

void TestSiteTable::markerLengths()
{
    QCOMPARE((QStringLiteral("file=http://") + hosts::AllVideos + QStringLiteral("/xml.php?uid=")).size(), 37);
}

void TestSiteTable::recognition_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("site"); // empty: none
    QTest::newRow("metacafe") << "http://www.metacafe.com/watch/1/x/" << "Metacafe";
    QTest::newRow("videkta") << "http://www.videkta.ge/?video_id=1" << "Videkta";
    QTest::newRow("tvali, whatever follows") << "http://tvali.ge.anything.example/zzz" << "Tvali";
    QTest::newRow("allvideos") << "http://allvideos.ge/video.php?uid=A" << "AllVideos";
    QTest::newRow("youtube") << "http://youtube.com/watch?v=x" << "YouTube";
    QTest::newRow("break") << "http://www.break.com/index/x.html" << "Break";
    QTest::newRow("dailymotion") << "http://www.dailymotion.com/video/x" << "DailyMotion";
    QTest::newRow("google video") << "http://video.google.com/videoplay?docid=1" << "Google Video";
    QTest::newRow("the scheme is not tested") << "ftp://xtvali.ge/x" << "Tvali";
    QTest::newRow("capital in the slice") << "http://Tvali.ge/x" << "";
    QTest::newRow("secure scheme shifts the slice") << "https://tvali.ge/x" << "";
    QTest::newRow("www. where the site has none") << "http://www.youtube.com/watch?v=x" << "";
    QTest::newRow("exactly the prefix") << "http://tvali.ge" << "Tvali";
    QTest::newRow("one short") << "http://tvali.g" << "";
    QTest::newRow("shorter than the scheme") << "http:/" << "";
    QTest::newRow("empty") << "" << "";
}

void TestSiteTable::recognition()
{
    QFETCH(QString, address);
    QFETCH(QString, site);
    const Site *found = findSite(siteKey(address));
    QCOMPARE(found ? found->name : QString(), site);
}

void TestSiteTable::samplesAreRecognisedAsTheirSite()
{
    for (const Site *site : SiteTable()) {
        const QString sample = site->sampleCaption().mid(QStringLiteral("Sample : ").size());
        QCOMPARE(findSite(siteKey(sample)), site);
        QCOMPARE(findSite(siteKey(site->homePage())), site);
    }
}

void TestSiteTable::searchAddresses_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected"); // empty: no search page
    QTest::newRow("tvali, two words") << 1 << "subaru impreza" << "http://tvali.ge/index.php?action=search&s=subaru+impreza";
    QTest::newRow("videkta") << 0 << "subaru" << "http://www.videkta.ge/index.php?srch_str=subaru";
    QTest::newRow("allvideos has none") << 2 << "subaru" << "";
    QTest::newRow("youtube") << 3 << "a b" << "http://youtube.com/results?search_query=a+b";
    QTest::newRow("metacafe, empty words") << 4 << "" << "http://www.metacafe.com/tags/";
    QTest::newRow("break on its search host") << 5 << "big wheel"
                                              << "http://search.break.com/Content/Search/Search.aspx?SEARCH1=Search&s=big+wheel";
    QTest::newRow("dailymotion, blanks at both ends") << 6 << " wrx " << "http://www.dailymotion.com/relevance/search/+wrx+";
    QTest::newRow("google, & and # unescaped") << 7 << "rock & roll #1" << "http://video.google.com/videosearch?q=rock+&+roll+#1";
    QTest::newRow("google, empty words") << 7 << "" << "http://video.google.com/videosearch?q=";
}

void TestSiteTable::searchAddresses()
{
    QFETCH(int, position);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    const Site *site = SearchSites().at(position);
    QCOMPARE(site->searchable() ? site->searchAddress(searchWords(typed)) : QString(), expected);
}

QTEST_GUILESS_MAIN(TestSiteTable)
#include "tst_sitetable.moc"
