// Reading HLS playlists: what is fetched, in which order, with which keys
// and ranges, and what is refused with which reason.
#include "download/streams/dashmanifest.h"
#include "download/streams/hlsplaylist.h"
#include "download/streams/qualitychoice.h"
#include <QtTest>

using namespace vidrona::download::streams;

Q_DECLARE_METATYPE(vidrona::download::streams::Refusal)

namespace {
const QUrl At("http://cdn.test/v/index.m3u8");

// Each piece as "address|length@offset|key|map|seconds" (length -1: whole).
QStringList describe(const HlsMedia &m)
{
    QStringList out;
    for (const HlsPiece &p : m.pieces)
        out << QStringLiteral("%1|%2@%3|%4|%5|%6%7")
                   .arg(p.url.toString())
                   .arg(p.range.length)
                   .arg(p.range.offset)
                   .arg(p.key)
                   .arg(p.map)
                   .arg(p.seconds)
                   .arg(p.discontinuity ? "|disc" : "");
    return out;
}
} // namespace

class TestStreamPlaylists : public QObject
{
    Q_OBJECT
private slots:
    void mediaPlaylists_data();
    void mediaPlaylists();
    void refused_data();
    void refused();
    void masterPlaylist();
    void keys();
    void dashTracks_data();
    void dashTracks();
    void dashRefused_data();
    void dashRefused();
    void isoDurations();
};

void TestStreamPlaylists::mediaPlaylists_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("TS pieces, relative and absolute")
        << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4.0,\na.ts\n#EXTINF:3.5,title\n"
                      "http://other.test/b.ts\n#EXT-X-ENDLIST\n")
        << QStringList{"http://cdn.test/v/a.ts|-1@0|-1|-1|4", "http://other.test/b.ts|-1@0|-1|-1|3.5"};
    QTest::newRow("byte ranges, offsets implied")
        << QByteArray("#EXTM3U\r\n#EXTINF:2,\r\n#EXT-X-BYTERANGE:100@0\r\nall.ts\r\n#EXTINF:2,\r\n"
                      "#EXT-X-BYTERANGE:50\r\nall.ts\r\n#EXT-X-ENDLIST\r\n")
        << QStringList{"http://cdn.test/v/all.ts|100@0|-1|-1|2", "http://cdn.test/v/all.ts|50@100|-1|-1|2"};
    QTest::newRow("fMP4 with its init section, a discontinuity")
        << QByteArray("#EXTM3U\n#EXT-X-MAP:URI=\"init.mp4\",BYTERANGE=\"700@0\"\n#EXTINF:2,\n1.m4s\n"
                      "#EXT-X-DISCONTINUITY\n#EXTINF:2,\n2.m4s\n#EXT-X-ENDLIST\n")
        << QStringList{"http://cdn.test/v/1.m4s|-1@0|-1|0|2", "http://cdn.test/v/2.m4s|-1@0|-1|0|2|disc"};
    QTest::newRow("VOD without an end tag is whole")
        << QByteArray("#EXTM3U\n#EXT-X-PLAYLIST-TYPE:VOD\n#EXTINF:1,\nx.ts\n")
        << QStringList{"http://cdn.test/v/x.ts|-1@0|-1|-1|1"};
    QTest::newRow("AES-128 from the second piece, then none")
        << QByteArray("#EXTM3U\n#EXTINF:1,\np0.ts\n#EXT-X-KEY:METHOD=AES-128,URI=\"k.bin\"\n#EXTINF:1,\np1.ts\n"
                      "#EXT-X-KEY:METHOD=NONE\n#EXTINF:1,\np2.ts\n#EXT-X-ENDLIST\n")
        << QStringList{"http://cdn.test/v/p0.ts|-1@0|-1|-1|1", "http://cdn.test/v/p1.ts|-1@0|0|-1|1",
                       "http://cdn.test/v/p2.ts|-1@0|-1|-1|1"};
}

void TestStreamPlaylists::mediaPlaylists()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, pieces);
    const HlsPlaylist p = readHlsPlaylist(text, At);
    QCOMPARE(p.refusal, Refusal::None);
    QCOMPARE(p.kind, HlsPlaylist::Media);
    QCOMPARE(describe(p.media), pieces);
}

void TestStreamPlaylists::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Refusal>("refusal");
    QTest::newRow("live: no end") << QByteArray("#EXTM3U\n#EXTINF:2,\na.ts\n") << Refusal::Live;
    QTest::newRow("event, still open") << QByteArray("#EXTM3U\n#EXT-X-PLAYLIST-TYPE:EVENT\n#EXTINF:2,\na.ts\n")
                                       << Refusal::Live;
    QTest::newRow("SAMPLE-AES") << QByteArray("#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"skd://k\"\n"
                                              "#EXTINF:2,\na.ts\n#EXT-X-ENDLIST\n")
                                << Refusal::Drm;
    QTest::newRow("SAMPLE-AES-CTR") << QByteArray("#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES-CTR,URI=\"k\"\n"
                                                  "#EXTINF:2,\na.ts\n#EXT-X-ENDLIST\n")
                                    << Refusal::Drm;
    QTest::newRow("a web page") << QByteArray("<html>") << Refusal::NotAStream;
    QTest::newRow("no piece") << QByteArray("#EXTM3U\n#EXT-X-ENDLIST\n") << Refusal::Empty;
    QTest::newRow("a piece over 1 GB")
        << QByteArray("#EXTM3U\n#EXTINF:2,\n#EXT-X-BYTERANGE:1073741825@0\na.ts\n#EXT-X-ENDLIST\n")
        << Refusal::TooLarge;
    QByteArray many("#EXTM3U\n");
    for (int i = 0; i <= MaxPieces; ++i)
        many += "#EXTINF:1,\np" + QByteArray::number(i) + ".ts\n";
    QTest::newRow("more than 50000 pieces") << many + "#EXT-X-ENDLIST\n" << Refusal::TooLarge;
    QTest::newRow("over 8 MB") << QByteArray("#EXTM3U\n") + QByteArray(MaxPlaylistBytes, '#') << Refusal::TooLarge;
}

void TestStreamPlaylists::refused()
{
    QFETCH(QByteArray, text);
    QFETCH(Refusal, refusal);
    const HlsPlaylist p = readHlsPlaylist(text, At);
    QCOMPARE(p.refusal, refusal);
    QVERIFY(p.why.failed());
}

void TestStreamPlaylists::masterPlaylist()
{
    const QByteArray text(
        "#EXTM3U\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"en\",DEFAULT=NO,URI=\"audio/en.m3u8\"\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"de\",DEFAULT=YES,URI=\"audio/de.m3u8\"\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360,AUDIO=\"aud\"\nlow/index.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1280x720,CODECS=\"avc1.64001f,mp4a.40.2\",AUDIO=\"aud\"\n"
        "hd/index.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=2400000,RESOLUTION=1920x1080\nfhd/index.m3u8\n");
    const HlsPlaylist p = readHlsPlaylist(text, At);
    QCOMPARE(p.kind, HlsPlaylist::Master);
    QCOMPARE(p.master.variants.size(), 3);
    // The same bandwidth, the larger picture; it carries its own sound, so
    // no rendition comes with it.
    QCOMPARE(hlsChoice(p.master, {}), QList<QUrl>{QUrl("http://cdn.test/v/fhd/index.m3u8")});
    QCOMPARE(audioFor(p.master, p.master.variants[2]), std::nullopt);
    QCOMPARE(audioFor(p.master, p.master.variants[1]), QUrl("http://cdn.test/v/audio/de.m3u8"));
}

void TestStreamPlaylists::keys()
{
    const HlsPlaylist p = readHlsPlaylist(
        "#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:258\n"
        "#EXT-X-KEY:METHOD=AES-128,URI=\"https://keys.test/k1\"\n#EXTINF:1,\na.ts\n#EXTINF:1,\nb.ts\n"
        "#EXT-X-KEY:METHOD=AES-128,URI=\"k2\",IV=0x000102030405060708090A0B0C0D0E0F\n#EXTINF:1,\nc.ts\n"
        "#EXT-X-ENDLIST\n",
        At);
    QCOMPARE(p.refusal, Refusal::None);
    QCOMPARE(p.media.keys.size(), 2);
    QCOMPARE(p.media.keys[0].url, QUrl("https://keys.test/k1"));
    QCOMPARE(p.media.keys[1].url, QUrl("http://cdn.test/v/k2"));
    // Without an IV of its own, a piece's IV is its sequence number.
    QCOMPARE(ivFor(p.media.keys[0], p.media.pieces[1].sequence).toHex(), QByteArray("00000000000000000000000000000103"));
    QCOMPARE(ivFor(p.media.keys[1], p.media.pieces[2].sequence).toHex(), QByteArray("000102030405060708090a0b0c0d0e0f"));
    QCOMPARE(p.media.seconds(), 3.0);
}

namespace {
const QUrl Mpd("http://cdn.test/d/stream.mpd");

QByteArray mpd(const QByteArray &sets, const QByteArray &attributes = "mediaPresentationDuration=\"PT8S\"")
{
    return "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" " + attributes
           + "><Period>" + sets + "</Period></MPD>";
}

// The track of a kind the fetch would save, as "init|first piece|last
// piece|count".
QString trackOf(const DashManifest &m, const QByteArray &kind)
{
    std::optional<DashTrack> t;
    for (const DashTrack &chosen : dashChoice(periodOf(m, 0), {}))
        if (chosen.kind == kind)
            t = chosen;
    if (!t)
        return QString();
    const auto piece = [](const DashPiece &p) {
        return p.url.toString() + (p.range.whole() ? QString() : QStringLiteral("@%1+%2").arg(p.range.offset).arg(p.range.length));
    };
    return QStringList{t->initUrl.toString(), piece(t->pieces.first()), piece(t->pieces.last()),
                       QString::number(t->pieces.size())}
        .join('|');
}
} // namespace

void TestStreamPlaylists::dashTracks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    QTest::newRow("template by number, best of two, width 5")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><SegmentTemplate timescale=\"1000\" duration=\"2000\" "
               "startNumber=\"1\" initialization=\"$RepresentationID$/init.mp4\" media=\"$RepresentationID$/$Number%05d$.m4s\"/>"
               "<Representation id=\"v1\" bandwidth=\"500000\" width=\"640\" height=\"360\"/>"
               "<Representation id=\"v2\" bandwidth=\"900000\" width=\"1280\" height=\"720\"/></AdaptationSet>"
               "<AdaptationSet contentType=\"audio\" mimeType=\"audio/mp4\"><Representation id=\"a\" bandwidth=\"64000\">"
               "<SegmentTemplate timescale=\"48000\" duration=\"96000\" media=\"a-$Number$-$Bandwidth$.m4s\" initialization=\"a-init.mp4\"/>"
               "</Representation></AdaptationSet>")
        << "http://cdn.test/d/v2/init.mp4|http://cdn.test/d/v2/00001.m4s|http://cdn.test/d/v2/00004.m4s|4"
        << "http://cdn.test/d/a-init.mp4|http://cdn.test/d/a-1-64000.m4s|http://cdn.test/d/a-4-64000.m4s|4";
    QTest::newRow("timeline by time, repeats, BaseURL")
        << mpd("<BaseURL>media/</BaseURL><AdaptationSet mimeType=\"video/mp4\"><SegmentTemplate timescale=\"90000\" "
               "media=\"t_$Time$.m4s\" initialization=\"i.mp4\"><SegmentTimeline><S t=\"0\" d=\"180000\" r=\"2\"/>"
               "<S d=\"90000\"/></SegmentTimeline></SegmentTemplate><Representation id=\"v\" bandwidth=\"1\"/>"
               "</AdaptationSet>", "mediaPresentationDuration=\"PT7S\"")
        << "http://cdn.test/d/media/i.mp4|http://cdn.test/d/media/t_0.m4s|http://cdn.test/d/media/t_540000.m4s|4" << "";
    QTest::newRow("timeline to the end of the period")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><Representation id=\"v\" bandwidth=\"1\"><SegmentTemplate "
               "timescale=\"1\" media=\"$Number$.m4s\" startNumber=\"0\"><SegmentTimeline><S d=\"2\" r=\"-1\"/>"
               "</SegmentTimeline></SegmentTemplate></Representation></AdaptationSet>")
        << "|http://cdn.test/d/0.m4s|http://cdn.test/d/3.m4s|4" << "";
    QTest::newRow("segment list with ranges")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><Representation id=\"v\" bandwidth=\"1\"><BaseURL>one.mp4</BaseURL>"
               "<SegmentList duration=\"4\"><Initialization range=\"0-799\"/><SegmentURL mediaRange=\"800-1799\"/>"
               "<SegmentURL mediaRange=\"1800-2999\"/></SegmentList></Representation></AdaptationSet>")
        << "http://cdn.test/d/one.mp4|http://cdn.test/d/one.mp4@800+1000|http://cdn.test/d/one.mp4@1800+1200|2" << "";
    QTest::newRow("one file per track")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><Representation id=\"v\" bandwidth=\"2\"><BaseURL>http://o.test/v.mp4</BaseURL>"
               "<SegmentBase indexRange=\"800-999\"/></Representation></AdaptationSet>"
               "<AdaptationSet mimeType=\"audio/mp4\"><Representation id=\"a\" bandwidth=\"1\"><BaseURL>a.mp4</BaseURL>"
               "</Representation></AdaptationSet>")
        << "|http://o.test/v.mp4|http://o.test/v.mp4|1" << "|http://cdn.test/d/a.mp4|http://cdn.test/d/a.mp4|1";
}

void TestStreamPlaylists::dashTracks()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, video);
    QFETCH(QString, audio);
    const DashManifest m = readDashManifest(text, Mpd);
    QVERIFY(!m.why.failed());
    QCOMPARE(trackOf(m, "video"), video);
    QCOMPARE(trackOf(m, "audio"), audio);
}

void TestStreamPlaylists::dashRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Refusal>("refusal");
    const QByteArray video = "<AdaptationSet mimeType=\"video/mp4\"><Representation id=\"v\" bandwidth=\"1\">"
                             "<BaseURL>v.mp4</BaseURL></Representation></AdaptationSet>";
    QTest::newRow("dynamic") << QByteArray("<MPD type=\"dynamic\"><Period>" + video + "</Period></MPD>") << Refusal::Live;
    QTest::newRow("ContentProtection")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\"/>"
               "<Representation id=\"v\" bandwidth=\"1\"><BaseURL>v.mp4</BaseURL></Representation></AdaptationSet>")
        << Refusal::Drm;
    QTest::newRow("not a manifest") << QByteArray("<html><body/></html>") << Refusal::NotAStream;
    QTest::newRow("broken XML") << QByteArray("<MPD><Period><AdaptationSet mimeType=\"video/mp4\">") << Refusal::Broken;
    QTest::newRow("only subtitles") << mpd("<AdaptationSet mimeType=\"text/vtt\"><Representation id=\"s\">"
                                           "<BaseURL>s.vtt</BaseURL></Representation></AdaptationSet>")
                                    << Refusal::Empty;
    QTest::newRow("too many pieces")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><SegmentTemplate duration=\"1\" media=\"$Number$\"/>"
               "<Representation id=\"v\" bandwidth=\"1\"/></AdaptationSet>", "mediaPresentationDuration=\"PT100000S\"")
        << Refusal::TooLarge;
    QTest::newRow("a timeline repeated past the bound")
        << mpd("<AdaptationSet mimeType=\"video/mp4\"><SegmentTemplate media=\"$Time$\"><SegmentTimeline>"
               "<S d=\"1\" r=\"999999999\"/></SegmentTimeline></SegmentTemplate><Representation id=\"v\" bandwidth=\"1\"/>"
               "</AdaptationSet>")
        << Refusal::TooLarge;
}

void TestStreamPlaylists::dashRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(Refusal, refusal);
    const DashManifest m = readDashManifest(text, Mpd);
    QCOMPARE(m.refusal, refusal);
    QVERIFY(m.why.failed());
}

void TestStreamPlaylists::isoDurations()
{
    QCOMPARE(isoSeconds("PT1H2M3.5S"), 3723.5);
    QCOMPARE(isoSeconds("P1DT1S"), 86401.0);
    QCOMPARE(isoSeconds("PT0.5S"), 0.5);
    QCOMPARE(isoSeconds("soon"), -1.0);
    QCOMPARE(isoSeconds("P"), -1.0);
}

QTEST_GUILESS_MAIN(TestStreamPlaylists)
#include "tst_streamplaylists.moc"
