// Reading the forms playlists and manifests come in, without the web:
// DASH's levels, periods and prefixes, HLS's gaps and CODECS, and the ID3
// timestamps of packed audio.
#include "ui/mainwindow/failuretexts.h"
#include "download/streams/dashmanifest.h"
#include "download/streams/hlsplaylist.h"
#include "download/streams/packedaudio.h"
#include "download/streams/qualitychoice.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::streams;

class TestStreamForms : public QObject
{
    Q_OBJECT
private slots:
    void dashForms_data();
    void dashForms();
    void periods_data();
    void periods();
    void tooManyPeriods();
    void mpdRoots_data();
    void mpdRoots();
    void gaps_data();
    void gaps();
    void soundOnly_data();
    void soundOnly();
    void id3Timestamps_data();
    void id3Timestamps();
};

namespace {

// The picture the fetch would save from a period.
std::optional<DashTrack> chosenVideo(const DashManifest &m, int period)
{
    for (const DashTrack &t : dashChoice(periodOf(m, period), {}))
        if (t.kind == "video")
            return t;
    return std::nullopt;
}


const QUrl Address("https://cdn.example/a/b/manifest.mpd");

QByteArray id3(char version, const QByteArray &owner, quint64 stamp, qsizetype cut = -1)
{
    QByteArray data = owner + '\0';
    for (int i = 7; i >= 0; --i)
        data += char((stamp >> (8 * i)) & 0xff);
    const QByteArray size = QByteArray::fromHex(QByteArray::number(qint64(data.size()), 16).rightJustified(8, '0'));
    const QByteArray frame = "PRIV" + size + QByteArray(2, '\0') + data; // below 128: the same in both versions
    const QByteArray tag = "ID3" + QByteArray(1, version) + QByteArray(5, '\0') + char(frame.size()) + frame + "\xff\xf1";
    return cut >= 0 ? tag.left(cut) : tag;
}

} // namespace

void TestStreamForms::dashForms_data()
{
    QTest::addColumn<QByteArray>("mpd");
    QTest::addColumn<QByteArray>("first"); // the video's first piece
    QTest::addColumn<QByteArray>("init");
    QTest::addColumn<int>("pieces");
    const QByteArray rep = "<Representation id=\"v\" bandwidth=\"9\" mimeType=\"video/mp4\"/>";
    QTest::newRow("a prefix on every element")
        << QByteArray("<m:MPD xmlns:m=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" mediaPresentationDuration=\"PT3S\">"
                      "<m:Period><m:AdaptationSet><m:SegmentTemplate duration=\"1\" media=\"$Number$.m4s\" "
                      "initialization=\"i.mp4\"/><m:Representation id=\"v\" bandwidth=\"9\" mimeType=\"video/mp4\"/>"
                      "</m:AdaptationSet></m:Period></m:MPD>")
        << QByteArray("https://cdn.example/a/b/1.m4s") << QByteArray("https://cdn.example/a/b/i.mp4") << 3;
    QTest::newRow("BaseURL on four levels")
        << QByteArray("<MPD type=\"static\" mediaPresentationDuration=\"P0Y0M0DT0H0M2.000S\"><BaseURL>/root/</BaseURL>"
                      "<Period><BaseURL>p/</BaseURL><AdaptationSet><BaseURL>set/</BaseURL>"
                      "<Representation id=\"v\" bandwidth=\"9\" mimeType=\"video/mp4\"><BaseURL>rep/</BaseURL>"
                      "<SegmentTemplate duration=\"1\" media=\"$Number$.m4s\" initialization=\"i.mp4\"/>"
                      "</Representation></AdaptationSet></Period></MPD>")
        << QByteArray("https://cdn.example/root/p/set/rep/1.m4s") << QByteArray("https://cdn.example/root/p/set/rep/i.mp4") << 2;
    QTest::newRow("a template split over period, set and representation")
        << QByteArray("<MPD type=\"static\" mediaPresentationDuration=\"PT4S\"><Period>"
           "<SegmentTemplate timescale=\"10\" duration=\"20\" startNumber=\"7\"/><AdaptationSet>"
           "<SegmentTemplate media=\"$RepresentationID$-$Number$.m4s\"/><Representation id=\"v\" bandwidth=\"9\" "
           "mimeType=\"video/mp4\"><SegmentTemplate initialization=\"$RepresentationID$.mp4\"/></Representation>"
           "</AdaptationSet></Period></MPD>")
        << QByteArray("https://cdn.example/a/b/v-7.m4s") << QByteArray("https://cdn.example/a/b/v.mp4") << 2;
    QTest::newRow("the set's template, the period's overridden")
        << QByteArray("<MPD type=\"static\" mediaPresentationDuration=\"PT4S\"><Period><SegmentTemplate duration=\"4\" "
                      "media=\"p$Number$\"/><AdaptationSet><SegmentTemplate duration=\"1\" media=\"s$Number$\"/>")
               + rep + "</AdaptationSet></Period></MPD>"
        << QByteArray("https://cdn.example/a/b/s1") << QByteArray("") << 4;
}

void TestStreamForms::dashForms()
{
    QFETCH(QByteArray, mpd);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, init);
    QFETCH(int, pieces);
    const DashManifest m = readDashManifest(mpd, Address);
    QVERIFY2(m.refusal == Refusal::None, qPrintable(ui::mainwindow::failureText(m.why)));
    const std::optional<DashTrack> video = chosenVideo(m, 0);
    QVERIFY(video);
    QCOMPARE(video->pieces.size(), pieces);
    QCOMPARE(video->pieces.first().url.toEncoded(), first);
    QCOMPARE(video->initUrl.toEncoded(), init);
}

void TestStreamForms::periods_data()
{
    QTest::addColumn<QByteArray>("periods");
    QTest::addColumn<QList<double>>("starts");
    QTest::addColumn<QList<double>>("offsets");
    QTest::addColumn<QList<int>>("pieces");
    const QByteArray set = "<AdaptationSet mimeType=\"video/mp4\"><SegmentTemplate timescale=\"1000\" duration=\"1000\" "
                           "presentationTimeOffset=\"%1\" media=\"$Number$.m4s\"/><Representation id=\"v\" "
                           "bandwidth=\"9\"/></AdaptationSet>";
    const auto period = [&set](const QByteArray &attributes, int offset) {
        return "<Period " + attributes + ">" + QByteArray(set).replace("%1", QByteArray::number(offset)) + "</Period>";
    };
    QTest::newRow("durations") << period("duration=\"PT2S\"", 0) + period("duration=\"PT3S\"", 7000)
                               << QList<double>{0, 2} << QList<double>{0, 7} << QList<int>{2, 3};
    QTest::newRow("starts only, the last to the end")
        << period("start=\"PT0S\"", 0) + period("start=\"PT4S\"", 500) + period("start=\"PT5S\"", 0)
        << QList<double>{0, 4, 5} << QList<double>{0, 0.5, 0} << QList<int>{4, 1, 3};
}

void TestStreamForms::periods()
{
    QFETCH(QByteArray, periods);
    QFETCH(QList<double>, starts);
    QFETCH(QList<double>, offsets);
    QFETCH(QList<int>, pieces);
    const DashManifest m = readDashManifest("<MPD type=\"static\" mediaPresentationDuration=\"PT8S\">" + periods + "</MPD>",
                                           Address);
    QVERIFY2(m.refusal == Refusal::None, qPrintable(ui::mainwindow::failureText(m.why)));
    QCOMPARE(m.periods, int(starts.size()));
    for (int p = 0; p < m.periods; ++p) {
        const std::optional<DashTrack> t = chosenVideo(m, p);
        QVERIFY(t);
        QCOMPARE(t->periodStart, starts.at(p));
        QCOMPARE(t->offsetSeconds, offsets.at(p));
        QCOMPARE(t->pieces.size(), pieces.at(p));
    }
}

void TestStreamForms::mpdRoots_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("mpd");
    QTest::newRow("plain") << QByteArray("<?xml version=\"1.0\"?>\n<MPD type=\"static\">") << true;
    QTest::newRow("prefixed") << QByteArray("<mpd:MPD xmlns:mpd=\"urn:mpeg:dash:schema:mpd:2011\">") << true;
    QTest::newRow("a longer prefix") << QByteArray("<dash-2011:MPD\n xmlns:dash-2011=\"x\">") << true;
    QTest::newRow("an HLS playlist") << QByteArray("#EXTM3U\n#EXTINF:1,\nMPD.ts\n") << false;
    QTest::newRow("another element") << QByteArray("<MPDX>") << false;
    QTest::newRow("past the sniffed bytes") << QByteArray(5000, ' ') + "<MPD>" << false;
}

void TestStreamForms::mpdRoots()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, mpd);
    QCOMPARE(looksLikeMpd(text, 4096), mpd);
}

// Periods past the bound refuse the video rather than leave its end out.
void TestStreamForms::tooManyPeriods()
{
    const QByteArray period = "<Period duration=\"PT1S\"><AdaptationSet mimeType=\"video/mp4\"><Representation "
                              "id=\"v\" bandwidth=\"9\"><BaseURL>v.mp4</BaseURL></Representation></AdaptationSet></Period>";
    const DashManifest fits = readDashManifest("<MPD type=\"static\">" + period.repeated(MaxPeriods) + "</MPD>", Address);
    QCOMPARE(fits.refusal, Refusal::None);
    QCOMPARE(fits.periods, MaxPeriods);
    const DashManifest past = readDashManifest("<MPD type=\"static\">" + period.repeated(MaxPeriods + 1) + "</MPD>", Address);
    QCOMPARE(past.refusal, Refusal::TooLarge);
    QCOMPARE(ui::mainwindow::failureText(past.why), QStringLiteral("The video has more than 256 parts."));
}

void TestStreamForms::gaps_data()
{
    QTest::addColumn<QByteArray>("playlist");
    QTest::addColumn<QList<bool>>("gap");
    QTest::newRow("one gap") << QByteArray("#EXTINF:1,\na.ts\n#EXT-X-GAP\n#EXTINF:1,\nb.ts\n#EXTINF:1,\nc.ts\n")
                             << QList<bool>{false, true, false};
    QTest::newRow("the tag after EXTINF") << QByteArray("#EXTINF:1,\n#EXT-X-GAP\na.ts\n#EXTINF:1,\nb.ts\n")
                                          << QList<bool>{true, false};
}

void TestStreamForms::gaps()
{
    QFETCH(QByteArray, playlist);
    QFETCH(QList<bool>, gap);
    const HlsPlaylist p = readHlsPlaylist("#EXTM3U\n" + playlist + "#EXT-X-ENDLIST\n", QUrl("https://x.example/p.m3u8"));
    QCOMPARE(p.refusal, Refusal::None);
    QList<bool> seen;
    for (const HlsPiece &piece : p.media.pieces)
        seen << piece.gap;
    QCOMPARE(seen, gap);
}

void TestStreamForms::soundOnly_data()
{
    QTest::addColumn<QByteArray>("codecs");
    QTest::addColumn<bool>("soundOnly");
    QTest::newRow("AAC") << QByteArray("mp4a.40.2") << true;
    QTest::newRow("AC-3 and E-AC-3") << QByteArray("ac-3, ec-3") << true;
    QTest::newRow("Opus, any case") << QByteArray("Opus") << true;
    QTest::newRow("H.264 and AAC") << QByteArray("avc1.64001f,mp4a.40.2") << false;
    QTest::newRow("HEVC alone") << QByteArray("hvc1.1.6.L93.B0") << false;
    QTest::newRow("not said") << QByteArray() << false;
}

void TestStreamForms::soundOnly()
{
    QFETCH(QByteArray, codecs);
    QFETCH(bool, soundOnly);
    HlsVariant v;
    v.codecs = codecs;
    QCOMPARE(v.soundOnly(), soundOnly);
}

void TestStreamForms::id3Timestamps_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("micros"); // -1: none
    const QByteArray owner = "com.apple.streaming.transportStreamTimestamp";
    QTest::newRow("v2.4, 1.4 s") << id3(4, owner, 126000) << qint64(1400000);
    QTest::newRow("v2.3, 10 s") << id3(3, owner, 900000) << qint64(10000000);
    QTest::newRow("only 33 bits count") << id3(4, owner, (quint64(1) << 33) + 90000) << qint64(1000000);
    QTest::newRow("another owner") << id3(4, "com.example.other", 90000) << qint64(-1);
    QTest::newRow("cut short") << id3(4, owner, 90000, 40) << qint64(-1);
    QTest::newRow("no tag") << QByteArray("\xff\xf1\x50\x80") << qint64(-1);
}

void TestStreamForms::id3Timestamps()
{
    QFETCH(QByteArray, head);
    QFETCH(qint64, micros);
    QCOMPARE(packedAudioStartMicros(head).value_or(-1), micros);
}

QTEST_GUILESS_MAIN(TestStreamForms)
#include "tst_streamforms.moc"
