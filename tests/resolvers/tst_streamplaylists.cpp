// Reading HLS playlists: what is fetched, in which order, with which keys
// and ranges, and what is refused with which reason.
#include "resolve/streams/hlsplaylist.h"
#include <QtTest>

using namespace vidrona::streams;

Q_DECLARE_METATYPE(vidrona::streams::Refusal)

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
    QVERIFY(!p.why.isEmpty());
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
    const auto best = bestVariant(p.master);
    QVERIFY(best);
    QCOMPARE(best->url, QUrl("http://cdn.test/v/fhd/index.m3u8")); // same bandwidth, larger picture
    QCOMPARE(audioFor(p.master, *best), std::nullopt);                // it carries its own sound
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

QTEST_GUILESS_MAIN(TestStreamPlaylists)
#include "tst_streamplaylists.moc"
