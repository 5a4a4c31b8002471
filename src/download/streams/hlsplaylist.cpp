#include "hlsplaylist.h"
#include <QHash>
#include <algorithm>

namespace vidrona::download::streams {

namespace {

using Attributes = QHash<QByteArray, QByteArray>;

// NAME=VALUE pairs, values quoted or not, separated by commas.
Attributes readAttributes(QByteArrayView list)
{
    Attributes out;
    qsizetype i = 0;
    while (i < list.size() && out.size() < 64) {
        const qsizetype eq = list.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = list.sliced(i, eq - i).trimmed().toByteArray();
        qsizetype end;
        QByteArray value;
        if (eq + 1 < list.size() && list[eq + 1] == '"') {
            const qsizetype close = list.indexOf('"', eq + 2);
            end = close < 0 ? list.size() : close + 1;
            value = list.sliced(eq + 2, qMax<qsizetype>(0, (close < 0 ? list.size() : close) - eq - 2)).toByteArray();
        } else {
            end = list.indexOf(',', eq + 1);
            end = end < 0 ? list.size() : end;
            value = list.sliced(eq + 1, end - eq - 1).trimmed().toByteArray();
        }
        out.insert(name, value);
        i = end + 1;
    }
    return out;
}

// "n[@o]"; an absent offset follows the previous range of the same file.
ByteRange readRange(const QByteArray &text, const ByteRange &previous)
{
    const QList<QByteArray> parts = text.split('@');
    ByteRange r;
    r.length = parts.value(0).trimmed().toLongLong();
    r.offset = parts.size() > 1 ? parts[1].trimmed().toLongLong() : previous.offset + qMax<qint64>(0, previous.length);
    return r;
}

QByteArray hexBytes(const QByteArray &text)
{
    QByteArray hex = text.toLower();
    if (hex.startsWith("0x"))
        hex = hex.mid(2);
    const QByteArray bytes = QByteArray::fromHex(hex);
    return bytes.size() == 16 ? bytes : QByteArray();
}

HlsKey readKey(const Attributes &a, const QUrl &address)
{
    HlsKey key;
    key.methodName = a.value("METHOD");
    key.method = key.methodName == "NONE" ? HlsKey::None
                 : key.methodName == "AES-128" ? HlsKey::Aes128 : HlsKey::Other;
    if (a.contains("URI"))
        key.url = address.resolved(QUrl::fromEncoded(a.value("URI")));
    if (a.contains("IV"))
        key.iv = hexBytes(a.value("IV"));
    return key;
}

// What the tags before the next address say about that piece.
struct Pending {
    double seconds = 0;
    bool discontinuity = false;
    bool gap = false;
    bool haveRange = false;
    ByteRange range;
};

struct MediaReader {
    const QUrl &address;
    HlsMedia media;
    Pending next;
    qint64 sequence = 0;
    int key = -1;
    int map = -1;
    ByteRange lastRange;

    void tag(QByteArrayView line);
    void piece(QByteArrayView line);
};

void MediaReader::tag(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView name = colon < 0 ? line : line.first(colon);
    const QByteArrayView value = colon < 0 ? QByteArrayView() : line.sliced(colon + 1);
    if (name == "#EXTINF") {
        next.seconds = value.first(qMax<qsizetype>(0, value.indexOf(',') < 0 ? value.size() : value.indexOf(','))).toDouble();
    } else if (name == "#EXT-X-BYTERANGE") {
        next.haveRange = true;
        next.range = readRange(value.toByteArray(), lastRange);
    } else if (name == "#EXT-X-DISCONTINUITY") {
        next.discontinuity = true;
    } else if (name == "#EXT-X-GAP") {
        next.gap = true;
    } else if (name == "#EXT-X-MEDIA-SEQUENCE") {
        sequence = value.toLongLong();
    } else if (name == "#EXT-X-ENDLIST") {
        media.ended = true;
    } else if (name == "#EXT-X-PLAYLIST-TYPE") {
        media.vod = value.trimmed() == "VOD";
    } else if (name == "#EXT-X-KEY") {
        const HlsKey k = readKey(readAttributes(value), address);
        media.keys.append(k);
        key = k.method == HlsKey::None ? -1 : int(media.keys.size()) - 1;
    } else if (name == "#EXT-X-MAP") {
        const Attributes a = readAttributes(value);
        HlsMap m{address.resolved(QUrl::fromEncoded(a.value("URI"))), {}};
        if (a.contains("BYTERANGE"))
            m.range = readRange(a.value("BYTERANGE"), ByteRange{0, 0});
        media.maps.append(m);
        map = int(media.maps.size()) - 1;
    }
}

void MediaReader::piece(QByteArrayView line)
{
    HlsPiece p;
    p.url = address.resolved(QUrl::fromEncoded(line.toByteArray()));
    p.seconds = next.seconds;
    p.discontinuity = next.discontinuity;
    p.gap = next.gap;
    p.sequence = sequence++;
    p.key = key;
    p.map = map;
    if (next.haveRange)
        p.range = lastRange = next.range;
    media.pieces.append(p);
    next = {};
}

HlsRendition readRendition(const Attributes &a, const QUrl &address)
{
    HlsRendition r{a.value("TYPE"), a.value("GROUP-ID"), a.value("DEFAULT") == "YES", {},
                   QString::fromUtf8(a.value("LANGUAGE")), QString::fromUtf8(a.value("NAME"))};
    if (a.contains("URI"))
        r.url = address.resolved(QUrl::fromEncoded(a.value("URI")));
    return r;
}

HlsVariant readVariant(const Attributes &a, const QUrl &url)
{
    const QList<QByteArray> size = a.value("RESOLUTION").split('x');
    return {url, a.value("BANDWIDTH").toLongLong(), size.value(0).toInt(), size.value(1).toInt(), a.value("AUDIO"),
            a.value("CODECS"), a.value("FRAME-RATE").toDouble()};
}

HlsPlaylist refuse(Refusal refusal, net::Cause cause, int count = 0, const QString &detail = {})
{
    HlsPlaylist out;
    out.refusal = refusal;
    out.why = refusalOf(refusal, cause, count, detail);
    return out;
}

// What keeps a media playlist from being saved.
HlsPlaylist judged(HlsPlaylist playlist)
{
    const HlsMedia &m = playlist.media;
    if (!m.ended && !m.vod)
        return refuse(Refusal::Live, net::Cause::StreamLive);
    for (const HlsKey &k : m.keys)
        if (k.method == HlsKey::Other)
            return refuse(Refusal::Drm, net::Cause::StreamProtected, 0, QString::fromLatin1(k.methodName));
    if (m.pieces.isEmpty())
        return refuse(Refusal::Empty, net::Cause::PlaylistNoPieces);
    for (const HlsPiece &p : m.pieces)
        if (p.range.length > MaxPieceBytes)
            return refuse(Refusal::TooLarge, net::Cause::PlaylistPieceTooLarge);
    return playlist;
}

} // namespace

double HlsMedia::seconds() const
{
    double total = 0;
    for (const HlsPiece &p : pieces)
        total += p.seconds;
    return total;
}

HlsPlaylist readHlsPlaylist(QByteArrayView text, const QUrl &address)
{
    if (text.size() > MaxPlaylistBytes)
        return refuse(Refusal::TooLarge, net::Cause::PlaylistTooLarge);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    if (!text.startsWith("#EXTM3U"))
        return refuse(Refusal::NotAStream, net::Cause::NotHlsPlaylist);
    HlsPlaylist out;
    MediaReader media{address, {}, {}, 0, -1, -1, {}};
    QByteArray pendingVariant;
    const QList<QByteArray> lines = text.toByteArray().split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith("#EXT-X-STREAM-INF:")) {
            out.kind = HlsPlaylist::Master;
            pendingVariant = line.sliced(18);
        } else if (line.startsWith("#EXT-X-MEDIA:")) {
            out.kind = HlsPlaylist::Master;
            out.master.renditions.append(readRendition(readAttributes(line.sliced(13)), address));
        } else if (line.startsWith('#')) {
            media.tag(line);
        } else if (!pendingVariant.isNull()) {
            out.master.variants.append(readVariant(readAttributes(pendingVariant), address.resolved(QUrl::fromEncoded(line))));
            pendingVariant = QByteArray();
        } else {
            if (media.media.pieces.size() >= MaxPieces)
                return refuse(Refusal::TooLarge, net::Cause::TooManyPieces, MaxPieces);
            media.piece(line);
        }
    }
    if (out.kind == HlsPlaylist::Master)
        return out.master.variants.isEmpty()
                   ? refuse(Refusal::Empty, net::Cause::PlaylistNoVideo)
                   : out;
    out.media = media.media;
    return judged(out);
}

bool HlsVariant::soundOnly() const
{
    static const QByteArrayList sound{"mp4a", "ac-3", "ec-3", "ac-4", "opus", "flac", "mp3", "mp4a.40", "alac",
                                      "dts", "dtsc", "dtse", "dtsh", "dtsl", "vorbis"};
    if (codecs.trimmed().isEmpty())
        return false;
    for (const QByteArray &codec : codecs.split(',')) {
        const QByteArray name = codec.trimmed().toLower().split('.').first();
        if (!sound.contains(name) && !sound.contains(codec.trimmed().toLower()))
            return false;
    }
    return true;
}

std::optional<QUrl> audioFor(const HlsMaster &master, const HlsVariant &variant)
{
    std::optional<QUrl> first;
    for (const HlsRendition &r : master.renditions) {
        if (r.type != "AUDIO" || r.group != variant.audioGroup || variant.audioGroup.isEmpty() || r.url.isEmpty())
            continue;
        if (r.isDefault)
            return r.url;
        if (!first)
            first = r.url;
    }
    return first;
}

QByteArray ivFor(const HlsKey &key, qint64 sequence)
{
    if (key.iv.size() == 16)
        return key.iv;
    QByteArray iv(16, '\0');
    for (int i = 0; i < 8; ++i)
        iv[15 - i] = char((quint64(sequence) >> (8 * i)) & 0xff);
    return iv;
}

} // namespace vidrona::download::streams
