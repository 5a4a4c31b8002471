// The resolver table: which resolver takes which address, by the site key
// (characters 8 to 15, exact and case-sensitive) for the old sites and as
// any web address for today's web; and what an address nobody takes gets.
#include "ui/mainwindow/refusaltexts.h"
#include "resolve/resolvertable.h"
#include "support/testenv.h"
#include <QSignalSpy>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::resolve;

class TestResolverTable : public QObject
{
    Q_OBJECT
private slots:
    void order();
    void routing_data();
    void routing();
    void nobodysAddressIsRefusedAtOnce_data();
    void nobodysAddressIsRefusedAtOnce();
    void oneAddressAtATime();
};

void TestResolverTable::order()
{
    ResolverTable table;
    QStringList names;
    for (const auto &r : table.resolvers())
        names << r->name();
    QCOMPARE(names, (QStringList{"Metacafe", "Videkta", "Tvali", "AllVideos", "YouTube", "Break", "DailyMotion",
                                 "Google Video", "today's web"}));
}

void TestResolverTable::routing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("resolver"); // empty: none
    QTest::newRow("metacafe") << "http://www.metacafe.com/watch/1/x/" << "Metacafe";
    QTest::newRow("videkta") << "http://www.videkta.ge/?video_id=1" << "Videkta";
    QTest::newRow("tvali") << "http://tvali.ge/index.php?action=watch&v=6181" << "Tvali";
    QTest::newRow("allvideos") << "http://allvideos.ge/video.php?uid=A" << "AllVideos";
    QTest::newRow("youtube") << "http://youtube.com/watch?v=x" << "YouTube";
    QTest::newRow("break") << "http://www.break.com/index/x.html" << "Break";
    QTest::newRow("dailymotion") << "http://www.dailymotion.com/video/x" << "DailyMotion";
    QTest::newRow("google video") << "http://video.google.com/videoplay?docid=1" << "Google Video";
    // The key is a slice of the text, not the host.
    QTest::newRow("tvali key, another host after it") << "http://tvali.ge.anything.example/zzz" << "Tvali";
    QTest::newRow("exactly the key") << "http://tvali.ge" << "Tvali";
    QTest::newRow("any 7-character scheme") << "ftp://xtvali.ge/x" << "Tvali";
    QTest::newRow("the key, no web address at all") << "abcdefgtvali.ge" << "Tvali";
    // What misses the key is a web address of today's, or nobody's.
    QTest::newRow("capital in the key") << "http://Tvali.ge/x" << "today's web";
    QTest::newRow("secure scheme shifts the key") << "https://tvali.ge/x" << "today's web";
    QTest::newRow("www. where the site has none") << "http://www.youtube.com/watch?v=x" << "today's web";
    QTest::newRow("one short of the key") << "http://tvali.g" << "today's web";
    QTest::newRow("a page of today") << "http://www.openclips.test/harbour.html" << "today's web";
    QTest::newRow("a playlist") << "https://cdn.streams.test/v/clip.m3u8" << "today's web";
    QTest::newRow("a manifest") << "http://cdn.streams.test/v/show.mpd" << "today's web";
    QTest::newRow("no scheme") << "www.openclips.test/harbour.html" << "today's web";
    QTest::newRow("the link service itself") << "http://links.vidrona-resolver.net/?url=x" << "today's web";
    QTest::newRow("key with a scheme of 8") << "xhttp://tvali.ge/x" << "";
    QTest::newRow("file address") << "file:///etc/passwd" << "";
    QTest::newRow("ftp elsewhere") << "ftp://example.com/a.mp4" << "";
    QTest::newRow("shorter than the scheme") << "http:/" << "";
    QTest::newRow("words") << "no address here" << "";
    QTest::newRow("empty") << "" << "";
}

void TestResolverTable::routing()
{
    QFETCH(QString, address);
    QFETCH(QString, resolver);
    ResolverTable table;
    const Resolver *r = table.route(address);
    QCOMPARE(r ? r->name() : QString(), resolver);
}

void TestResolverTable::nobodysAddressIsRefusedAtOnce_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << " \t\r\n ";
    QTest::newRow("file address") << "file:///etc/passwd";
}

void TestResolverTable::nobodysAddressIsRefusedAtOnce()
{
    QFETCH(QString, address);
    ResolverTable table;
    QSignalSpy answers(&table, &ResolverTable::answered);
    QVERIFY(table.start({address, Quality::Low}));
    QCOMPARE(answers.size(), 1);
    const Answer answer = answers[0][0].value<Answer>();
    QCOMPARE(int(answer.outcome), int(Answer::Refused));
    QCOMPARE(ui::mainwindow::refusalText(answer.refusal), QString("Please, check the link and try again!"));
    QVERIFY(!table.busy());
}

// Videkta answers from the address alone, inside start(); a Tvali address
// waits for its page, meanwhile the table takes no other address, and a
// cancel ends it with one Cancelled answer.
void TestResolverTable::oneAddressAtATime()
{
    ResolverTable table;
    QSignalSpy answers(&table, &ResolverTable::answered);
    QVERIFY(table.start({" http://www.videkta.ge/?video_id=147629\n", Quality::Low}));
    QCOMPARE(answers.size(), 1);
    const Answer found = answers[0][0].value<Answer>();
    QCOMPARE(int(found.outcome), int(Answer::Found));
    QCOMPARE(found.rows.size(), 1);
    QCOMPARE(found.rows[0].fileUrl, QString("http://www.videkta.ge/flv/15/147629.flv"));
    QVERIFY(!found.rows[0].fileName.has_value()); // named after its address

    test::LocalWeb web;
    QVERIFY(web.ok());
    web.server().on("tvali.ge", "/t/never", [](const testweb::Request &) {
        testweb::Response r = testweb::Response::html("xmlFile=");
        r.stallAfterHeaders = true;
        return r;
    });
    QVERIFY(table.start({"http://tvali.ge/t/never", Quality::Low}));
    QVERIFY(table.busy());
    QCOMPARE(table.running()->name(), QString("Tvali"));
    QVERIFY(!table.start({"http://www.videkta.ge/?video_id=1", Quality::Low}));
    table.cancel();
    QTRY_COMPARE(answers.size(), 2);
    QCOMPARE(int(answers[1][0].value<Answer>().outcome), int(Answer::Cancelled));
    QVERIFY(!table.busy());
    QTest::qWait(50); // nothing more follows the cancel
    QCOMPARE(answers.size(), 2);
}

QTEST_GUILESS_MAIN(TestResolverTable)
#include "tst_resolvertable.moc"
