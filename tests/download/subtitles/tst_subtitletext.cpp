// Subtitles as text: WebVTT read (times, identifiers, notes, the
// X-TIMESTAMP-MAP of a playlist's piece), pieces joined into one track,
// SubRip written (numbering, times, tags and entities), the languages a
// user lists and the offer each one takes, and the record's words.
#include "download/subtitles/offers.h"
#include "download/subtitles/textstreams.h"
#include "download/subtitles/webvtt.h"
#include <QtTest>

using namespace vidrona::download::subtitles;

Q_DECLARE_METATYPE(Cue)

class TestSubtitleText : public QObject
{
    Q_OBJECT
private slots:
    void times_data();
    void times();
    void vtt_data();
    void vtt();
    void notVtt();
    void srt_data();
    void srt();
    void joined_data();
    void joined();
    void sequential();
    void languages_data();
    void languages();
    void offers_data();
    void offers();
    void labels_data();
    void labels();
    void containerTags_data();
    void containerTags();
    void record_data();
    void record();
};

void TestSubtitleText::times_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("ms");
    QTest::newRow("minutes") << "02:03.456" << qint64(123456);
    QTest::newRow("hours") << "01:02:03.456" << qint64(3723456);
    QTest::newRow("long hours") << "100:00:00.001" << qint64(360000001);
    QTest::newRow("comma (SubRip's)") << "00:00:01,000" << qint64(-1);
    QTest::newRow("seconds past 59") << "00:61.000" << qint64(-1);
    QTest::newRow("two places") << "00:01.00" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void TestSubtitleText::times()
{
    QFETCH(QString, text);
    QFETCH(qint64, ms);
    QCOMPARE(vttTime(text), ms);
}

void TestSubtitleText::vtt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<Cue>>("cues");
    QTest::addColumn<bool>("onMediaClock");
    QTest::newRow("plain") << QByteArray("WEBVTT\n\n00:00.500 --> 00:01.500\nHello\n\n00:02.000 --> 00:03.000\nBye\n")
                           << QList<Cue>{{500, 1500, "Hello"}, {2000, 3000, "Bye"}} << false;
    QTest::newRow("identifiers, settings, two lines, CRLF")
        << QByteArray("\xEF\xBB\xBFWEBVTT - a title\r\n\r\nfirst\r\n00:01:00.000 --> 00:01:02.500 align:start line:0\r\n"
                      "One\r\nTwo\r\n")
        << QList<Cue>{{60000, 62500, "One\nTwo"}} << false;
    QTest::newRow("notes, styles and a broken cue skipped")
        << QByteArray("WEBVTT\n\nNOTE a note\n00:00.000 --> 00:01.000\n\nSTYLE\n::cue { color: red }\n\n"
                      "00:05.000 --> 00:04.000\nbackwards\n\n00:06.000 --> 00:07.000\nkept\n")
        << QList<Cue>{{6000, 7000, "kept"}} << false;
    // The piece's local 0 is at 10 s of the MPEG-TS clock, plus 1 s.
    QTest::newRow("timestamp map")
        << QByteArray("WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:990000,LOCAL:00:00:00.000\n\n00:00.500 --> 00:01.000\nA\n")
        << QList<Cue>{{11500, 12000, "A"}} << true;
    QTest::newRow("timestamp map, local time given")
        << QByteArray("WEBVTT\nX-TIMESTAMP-MAP=LOCAL:00:00:02.000,MPEGTS:180000\n\n00:02.500 --> 00:03.000\nB\n")
        << QList<Cue>{{2500, 3000, "B"}} << true;
    QTest::newRow("unreadable map ignored")
        << QByteArray("WEBVTT\nX-TIMESTAMP-MAP=MPEGTS:x,LOCAL:00:00:00.000\n\n00:00.500 --> 00:01.000\nC\n")
        << QList<Cue>{{500, 1000, "C"}} << false;
}

void TestSubtitleText::vtt()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<Cue>, cues);
    QFETCH(bool, onMediaClock);
    const VttText read = readWebVtt(text);
    QVERIFY(read.ok);
    QCOMPARE(read.cues, cues);
    QCOMPARE(read.onMediaClock, onMediaClock);
}

void TestSubtitleText::notVtt()
{
    QVERIFY(!readWebVtt("1\n00:00:01,000 --> 00:00:02,000\nSubRip\n").ok);
    QVERIFY(!readWebVtt("WEBVTTX\n").ok);
    QVERIFY(!readWebVtt("").ok);
}

void TestSubtitleText::srt_data()
{
    QTest::addColumn<QList<Cue>>("cues");
    QTest::addColumn<qint64>("shift");
    QTest::addColumn<QByteArray>("srt");
    QTest::newRow("numbered, tags and entities")
        << QList<Cue>{{500, 1500, "<v Anna>Hello <b>there</b></v>"}, {3723456, 3724000, "Tom &amp; Jerry &lt;3"}}
        << qint64(0)
        << QByteArray("1\n00:00:00,500 --> 00:00:01,500\nHello there\n\n"
                      "2\n01:02:03,456 --> 01:02:04,000\nTom & Jerry <3\n\n");
    QTest::newRow("shifted, one before zero left out, one cut at zero")
        << QList<Cue>{{100, 900, "gone"}, {900, 2000, "cut"}, {3000, 4000, "<c.yellow>moved</c>"}} << qint64(1000)
        << QByteArray("1\n00:00:00,000 --> 00:00:01,000\ncut\n\n2\n00:00:02,000 --> 00:00:03,000\nmoved\n\n");
    QTest::newRow("empty text left out, numbers go on")
        << QList<Cue>{{0, 1000, "<i></i>"}, {1000, 2000, "&#x41;&#66;"}} << qint64(0)
        << QByteArray("1\n00:00:01,000 --> 00:00:02,000\nAB\n\n");
}

void TestSubtitleText::srt()
{
    QFETCH(QList<Cue>, cues);
    QFETCH(qint64, shift);
    QFETCH(QByteArray, srt);
    QCOMPARE(srtText(cues, shift), srt);
}

void TestSubtitleText::joined_data()
{
    QTest::addColumn<QList<QList<Cue>>>("pieces");
    QTest::addColumn<QList<Cue>>("track");
    QTest::newRow("a cue in two pieces kept once")
        << QList<QList<Cue>>{{{500, 1500, "Hi"}}, {{500, 1500, "Hi"}, {1800, 1900, "x"}}}
        << QList<Cue>{{500, 1500, "Hi"}, {1800, 1900, "x"}};
    QTest::newRow("a cue cut at the piece's end joined")
        << QList<QList<Cue>>{{{500, 1000, "Hi"}}, {{1000, 1500, "Hi"}}} << QList<Cue>{{500, 1500, "Hi"}};
    QTest::newRow("out of order, the same words later kept")
        << QList<QList<Cue>>{{{5000, 6000, "Hi"}}, {{500, 1000, "Hi"}}}
        << QList<Cue>{{500, 1000, "Hi"}, {5000, 6000, "Hi"}};
}

void TestSubtitleText::joined()
{
    QFETCH(QList<QList<Cue>>, pieces);
    QFETCH(QList<Cue>, track);
    QCOMPARE(joinCues(pieces), track);
}

// A text stream shows one cue at a time.
void TestSubtitleText::sequential()
{
    const QList<Cue> cues{{0, 3000, "a"}, {0, 1000, "b"}, {2000, 4000, "c"}, {3500, 3600, "d"}};
    const QList<Cue> expected{{0, 2000, "a\nb"}, {2000, 3500, "c"}, {3500, 3600, "d"}};
    QCOMPARE(sequentialCues(cues, 0), expected);
    QCOMPARE(sequentialCues({{500, 1500, "x"}}, 1000), (QList<Cue>{{0, 500, "x"}}));
}

void TestSubtitleText::languages_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("list");
    QTest::newRow("two") << "en, de" << QStringList{"en", "de"};
    QTest::newRow("case, spaces, twice") << " EN ,de,en " << QStringList{"en", "de"};
    QTest::newRow("regions") << "pt-BR,en-us" << QStringList{"pt-br", "en-us"};
    QTest::newRow("none") << "none" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("no path or spaces in a name") << "../x, e n, fr" << QStringList{"fr"};
    QTest::newRow("at most eight") << "a,b,c,d,e,f,g,h,i,j" << QStringList{"a", "b", "c", "d", "e", "f", "g", "h"};
}

void TestSubtitleText::languages()
{
    QFETCH(QString, text);
    QFETCH(QStringList, list);
    QCOMPARE(languageList(text), list);
}

void TestSubtitleText::offers_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("offer");
    // 0: en automatic, 1: en-GB by a person, 2: de, 3: fr automatic
    QTest::newRow("a person's before automatic") << "en" << 1;
    QTest::newRow("exact") << "en-gb" << 1;
    QTest::newRow("main part") << "de-at" << 2;
    QTest::newRow("automatic when alone") << "fr" << 3;
    QTest::newRow("none") << "it" << -1;
}

void TestSubtitleText::offers()
{
    QFETCH(QString, language);
    QFETCH(int, offer);
    const QList<Offer> list{{"en", "English", true, Offer::Form::WebVtt, QUrl("http://x/1"), {}, {}},
                            {"en-GB", "English", false, Offer::Form::WebVtt, QUrl("http://x/2"), {}, {}},
                            {"de", "Deutsch", false, Offer::Form::WebVtt, QUrl("http://x/3"), {}, {}},
                            {"fr", "French", true, Offer::Form::WebVtt, QUrl("http://x/4"), {}, {}}};
    QCOMPARE(offerFor(list, language), offer);
}

void TestSubtitleText::labels_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QString>("label");
    QTest::newRow("a person's, named") << "English" << false << "English (en)";
    QTest::newRow("automatic, named") << "English" << true << "English (en) (automatic)";
    QTest::newRow("automatic, no name") << "" << true << "en (automatic)";
}

void TestSubtitleText::labels()
{
    QFETCH(QString, name);
    QFETCH(bool, automatic);
    QFETCH(QString, label);
    QCOMPARE(offerLabel({"en", name, automatic, Offer::Form::WebVtt, {}, {}, {}}), label);
}

void TestSubtitleText::containerTags_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QByteArray>("tag");
    QTest::newRow("en") << "en" << QByteArray("eng");
    QTest::newRow("de-AT") << "de-AT" << QByteArray("deu");
    QTest::newRow("three letters") << "fil" << QByteArray("fil");
    QTest::newRow("unknown") << "xx" << QByteArray("und");
}

void TestSubtitleText::containerTags()
{
    QFETCH(QString, language);
    QFETCH(QByteArray, tag);
    QCOMPARE(containerLanguage(language), tag);
}

void TestSubtitleText::record_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("none") << QStringList{} << false << QByteArray();
    QTest::newRow("beside") << QStringList{"en", "de"} << false << QByteArray("en,de");
    QTest::newRow("inside") << QStringList{"pt-br"} << true << QByteArray("pt-br inside");
}

void TestSubtitleText::record()
{
    QFETCH(QStringList, languages);
    QFETCH(bool, inside);
    QFETCH(QByteArray, text);
    const Wish wish{languages, inside};
    QCOMPARE(wish.recordText(), text);
    const Wish back = Wish::fromRecordText(text);
    QCOMPARE(back.languages, languages);
    QCOMPARE(back.inside, inside && !languages.isEmpty());
}

QTEST_GUILESS_MAIN(TestSubtitleText)
#include "tst_subtitletext.moc"
