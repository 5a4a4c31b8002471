#include "streamplan.h"
#include "dashmanifest.h"
#include "piecefetch.h"
#include "net/addressrule.h"
#include <QCryptographicHash>
#include <QHash>

namespace vidrona::streams {

namespace {

constexpr int KeyBytes = 16;

// Builds the plan while the texts come in.
struct Builder {
    Builder(net::HttpClient &c, int ms, const std::atomic<bool> &x) : client(c), idleMs(ms), cancel(x) {}
    net::HttpClient &client;
    int idleMs;
    const std::atomic<bool> &cancel;
    StreamPlan plan;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    QHash<QUrl, int> keyIndex; // one request per key address

    bool failed() const { return plan.failure.failed(); }
    bool refuse(Refusal refusal, const QString &why)
    {
        plan.failure = net::fail(refusal == Refusal::TooLarge ? net::Reason::TooLarge : net::Reason::NotTheVideo, why);
        return false;
    }
    std::optional<QByteArray> text(const QUrl &url, bool userNamed);
    std::optional<QByteArray> counted(const QUrl &url, const QByteArray &bytes);
    int key(const QUrl &url);
    int piece(const QUrl &url, ByteRange range, int key = -1, const QByteArray &iv = {})
    {
        plan.pieces.append({url, range, key, iv});
        return int(plan.pieces.size() - 1);
    }
    bool hlsTrack(const HlsMedia &media);
    bool hls(const QByteArray &text, const QUrl &address);
    bool dashTrack(const DashTrack &track);
    bool dash(const QByteArray &text, const QUrl &address);
};

// A playlist's or manifest's text, counted in the digest.
std::optional<QByteArray> Builder::text(const QUrl &url, bool userNamed)
{
    SmallBody body = fetchSmall(client, url, MaxPlaylistBytes, userNamed, QStringLiteral("the playlist"), idleMs, cancel);
    if (body.tooLarge)
        return refuse(Refusal::TooLarge, QStringLiteral("The playlist is larger than 8 MB.")), std::nullopt;
    if (body.failure.failed())
        return plan.failure = body.failure, std::nullopt;
    return counted(url, body.bytes);
}

std::optional<QByteArray> Builder::counted(const QUrl &url, const QByteArray &bytes)
{
    hash.addData(QByteArray::number(bytes.size()) + ' ' + url.toEncoded() + '\n');
    hash.addData(bytes);
    return bytes;
}

// The index of the key at url in plan.keys, fetched once; -1 on failure.
int Builder::key(const QUrl &url)
{
    if (keyIndex.contains(url))
        return keyIndex.value(url);
    SmallBody body = fetchSmall(client, url, KeyBytes, plan.trusted, QStringLiteral("the key"), idleMs, cancel);
    if (!body.failure.failed() && body.bytes.size() != KeyBytes)
        body.failure = net::fail(net::Reason::BrokenAnswer, QStringLiteral("The key of the video is not 16 bytes"));
    if (body.failure.failed())
        return plan.failure = body.failure, -1;
    plan.keys.append(body.bytes);
    keyIndex.insert(url, int(plan.keys.size() - 1));
    return int(plan.keys.size() - 1);
}

bool Builder::hlsTrack(const HlsMedia &media)
{
    QList<int> order;
    QHash<int, int> mapPiece; // init section -> its piece number
    int lastMap = -1;
    for (const HlsPiece &p : media.pieces) {
        if (p.map >= 0 && p.map != lastMap) {
            if (!mapPiece.contains(p.map))
                mapPiece.insert(p.map, piece(media.maps.at(p.map).url, media.maps.at(p.map).range));
            order.append(mapPiece.value(p.map));
        }
        lastMap = p.map;
        const HlsKey *k = p.key >= 0 ? &media.keys.at(p.key) : nullptr;
        const int key = k && k->method == HlsKey::Aes128 ? this->key(k->url) : -1;
        if (failed())
            return false;
        order.append(piece(p.url, p.range, key, key >= 0 ? ivFor(*k, p.sequence) : QByteArray()));
    }
    plan.tracks.append(order);
    return true;
}

bool Builder::hls(const QByteArray &text, const QUrl &address)
{
    const HlsPlaylist top = readHlsPlaylist(text, address);
    if (top.refusal != Refusal::None)
        return refuse(top.refusal, top.why);
    if (top.kind == HlsPlaylist::Media)
        return hlsTrack(top.media);
    const HlsVariant variant = *bestVariant(top.master); // the reader refuses a master without one
    QList<QUrl> urls{variant.url};
    if (const std::optional<QUrl> audio = audioFor(top.master, variant))
        urls << *audio;
    for (const QUrl &url : urls) {
        const std::optional<QByteArray> media = this->text(url, plan.trusted);
        if (!media)
            return false;
        const HlsPlaylist p = readHlsPlaylist(*media, url);
        if (p.refusal == Refusal::None && p.kind != HlsPlaylist::Media)
            return refuse(Refusal::Broken, QStringLiteral("The playlist names another list of variants."));
        if (p.refusal != Refusal::None)
            return refuse(p.refusal, p.why);
        if (!hlsTrack(p.media))
            return false;
    }
    return true;
}

bool Builder::dashTrack(const DashTrack &track)
{
    QList<int> order;
    if (!track.initUrl.isEmpty())
        order.append(piece(track.initUrl, track.initRange));
    for (const DashPiece &p : track.pieces)
        order.append(piece(p.url, p.range));
    plan.tracks.append(order);
    return true;
}

bool Builder::dash(const QByteArray &text, const QUrl &address)
{
    const DashManifest m = readDashManifest(text, address);
    if (m.refusal != Refusal::None)
        return refuse(m.refusal, m.why);
    const std::optional<DashTrack> video = bestTrack(m, "video"), audio = bestTrack(m, "audio");
    if (!video && !audio)
        return refuse(Refusal::Empty, QStringLiteral("The manifest names no video."));
    return (!video || dashTrack(*video)) && (!audio || dashTrack(*audio));
}

bool isDash(const QByteArray &text)
{
    const QByteArray start = text.left(4096);
    return !start.trimmed().startsWith("#EXTM3U") && !start.startsWith("\xEF\xBB\xBF#EXTM3U") && start.contains("<MPD");
}

} // namespace

StreamPlan planStream(net::HttpClient &client, const QUrl &address, int idleMs, const std::atomic<bool> &cancel,
                      const std::optional<QByteArray> &topText)
{
    Builder b(client, idleMs, cancel);
    b.plan.trusted = isInternalHost(address.host());
    const std::optional<QByteArray> top = topText ? b.counted(address, *topText) : b.text(address, true);
    if (top)
        isDash(*top) ? b.dash(*top, address) : b.hls(*top, address);
    if (!b.failed() && b.plan.pieces.isEmpty())
        b.refuse(Refusal::Empty, QStringLiteral("The playlist names no piece of video."));
    b.plan.digest = b.hash.result().toHex();
    return b.plan;
}

} // namespace vidrona::streams
