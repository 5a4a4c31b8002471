#include "streamplan.h"
#include "dashmanifest.h"
#include "piecefetch.h"
#include "subtitleoffers.h"
#include "textfetch.h"
#include "net/addressrule.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace vidrona::download::streams {

using net::isInternalHost;

namespace {

constexpr int KeyBytes = 16;

// Builds the plan while the texts come in.
struct Builder {
    Builder(net::HttpClient &c, int ms, const std::atomic<bool> &x, const QualityChoice &q)
        : client(c), idleMs(ms), cancel(x), choice(q) {}
    net::HttpClient &client;
    int idleMs;
    const std::atomic<bool> &cancel;
    const QualityChoice choice;
    StreamPlan plan;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    QHash<QUrl, int> keyIndex; // one request per key address

    bool failed() const { return plan.failure.failed(); }
    bool refuse(const net::Failure &why)
    {
        plan.failure = why;
        return false;
    }
    bool refuse(Refusal refusal, net::Cause cause, int count = 0) { return refuse(refusalOf(refusal, cause, count)); }
    // A text and the address it answered from.
    struct Text {
        QByteArray bytes;
        QUrl from;
    };
    std::optional<Text> text(const QUrl &url, bool userNamed);
    std::optional<QByteArray> counted(const QUrl &url, const QByteArray &bytes);
    int key(const QUrl &url);
    int piece(const QUrl &url, ByteRange range, int key = -1, const QByteArray &iv = {})
    {
        plan.pieces.append({url, range, key, iv});
        return int(plan.pieces.size() - 1);
    }
    bool hlsTrack(const HlsMedia &media);
    bool hls(const QByteArray &text, const QUrl &address);
    void dashTrack(const QList<DashTrack> &periods);
    bool dash(const QByteArray &text, const QUrl &address);
};

// A playlist's or manifest's text, decoded, counted in the digest.
std::optional<Builder::Text> Builder::text(const QUrl &url, bool userNamed)
{
    const FetchedText body = fetchText(client, url, MaxPlaylistBytes, userNamed, net::Subject::Playlist,
                                       idleMs, cancel);
    if (body.tooLarge)
        return plan.failure = net::fail(net::Reason::TooLarge, net::Cause::PlaylistTooLarge), std::nullopt;
    if (body.failure.failed())
        return plan.failure = body.failure, std::nullopt;
    counted(url, body.bytes);
    return Text{body.bytes, body.finalUrl};
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
    SmallBody body = fetchSmall(client, url, KeyBytes, plan.trusted, net::Subject::Key, idleMs, cancel);
    if (!body.failure.failed() && body.bytes.size() != KeyBytes)
        body.failure = net::fail(net::Reason::BrokenAnswer, net::Cause::VideoKeyBroken);
    if (body.failure.failed())
        return plan.failure = body.failure, -1;
    plan.keys.append(body.bytes);
    keyIndex.insert(url, int(plan.keys.size() - 1));
    return int(plan.keys.size() - 1);
}

// A track's pieces; gaps are left out (the file's time jumps over them,
// as a player's does), and each new init section after the first starts a
// run the joiner reads afresh, following on from the one before.
bool Builder::hlsTrack(const HlsMedia &media)
{
    QList<int> order;
    QList<JoinRun> runs{JoinRun{}};
    QHash<int, int> mapPiece; // init section -> its piece number
    int lastMap = -1;
    double gap = 0;     // of the pieces left out since the last one kept
    bool fresh = true;  // the run has no piece of its own yet
    for (const HlsPiece &p : media.pieces) {
        if (p.gap) {
            gap += p.seconds;
            continue;
        }
        if (p.map >= 0 && p.map != lastMap) {
            if (!mapPiece.contains(p.map))
                mapPiece.insert(p.map, piece(media.maps.at(p.map).url, media.maps.at(p.map).range));
            if (lastMap >= 0)
                runs.append({int(order.size()), false, 0}), fresh = true;
            order.append(mapPiece.value(p.map));
        }
        // Before a run's first piece nothing in the pieces' own clock tells
        // the time left out (later gaps show as a jump in it): the run
        // carries it.
        if (fresh)
            runs.last().gapSeconds = gap;
        gap = 0;
        fresh = false;
        lastMap = p.map;
        const HlsKey *k = p.key >= 0 ? &media.keys.at(p.key) : nullptr;
        const int key = k && k->method == HlsKey::Aes128 ? this->key(k->url) : -1;
        if (failed())
            return false;
        order.append(piece(p.url, p.range, key, key >= 0 ? ivFor(*k, p.sequence) : QByteArray()));
    }
    runs.last().tailGapSeconds = gap; // the file lasts over the gaps it ends with
    plan.tracks.append(order);
    plan.runs.append(runs);
    return true;
}

bool Builder::hls(const QByteArray &text, const QUrl &address)
{
    const HlsPlaylist top = readHlsPlaylist(text, address);
    if (top.refusal != Refusal::None)
        return refuse(top.why);
    plan.mayPart = true;
    if (top.kind == HlsPlaylist::Media)
        return hlsTrack(top.media);
    const QList<QUrl> urls = hlsChoice(top.master, choice); // the reader refuses a master without variants
    plan.subtitles = hlsSubtitleOffers(top.master);
    // Nothing but sound was offered (the choice takes a picture whenever
    // one is): the file is named for it, unless sound alone was asked for.
    for (const HlsVariant &v : top.master.variants)
        if (v.url == urls.first())
            plan.soundOnly = !choice.sound && v.soundOnly();
    for (const QUrl &url : urls) {
        const std::optional<Text> media = this->text(url, plan.trusted);
        if (!media)
            return false;
        const HlsPlaylist p = readHlsPlaylist(media->bytes, media->from);
        if (p.refusal == Refusal::None && p.kind != HlsPlaylist::Media)
            return refuse(Refusal::Broken, net::Cause::NestedVariants);
        if (p.refusal != Refusal::None)
            return refuse(p.why);
        if (!hlsTrack(p.media))
            return false;
    }
    return true;
}

// One kind's track over every period, each period a run of its own timed
// by its start and presentationTimeOffset.
void Builder::dashTrack(const QList<DashTrack> &periods)
{
    QList<int> order;
    QList<JoinRun> runs;
    for (const DashTrack &track : periods) {
        runs.append({int(order.size()), true, track.periodStart - track.offsetSeconds});
        if (!track.initUrl.isEmpty())
            order.append(piece(track.initUrl, track.initRange));
        for (const DashPiece &p : track.pieces)
            order.append(piece(p.url, p.range));
    }
    plan.tracks.append(order);
    plan.runs.append(runs);
}

bool Builder::dash(const QByteArray &text, const QUrl &address)
{
    const DashManifest m = readDashManifest(text, address);
    if (m.refusal != Refusal::None)
        return refuse(m.why);
    QList<DashTrack> video, audio;
    for (int period = 0; period < m.periods; ++period)
        for (const DashTrack &t : dashChoice(periodOf(m, period), choice))
            (t.kind == "video" ? video : audio) << t;
    if (video.isEmpty() && audio.isEmpty())
        return refuse(Refusal::Empty, net::Cause::ManifestNoVideo);
    // A period without the picture or the sound the others have would
    // leave a hole the file cannot keep: never a file with part of the video.
    if ((!video.isEmpty() && video.size() != m.periods) || (!audio.isEmpty() && audio.size() != m.periods))
        return refuse(Refusal::Broken, net::Cause::PeriodsDiffer);
    if (!video.isEmpty())
        dashTrack(video);
    if (!audio.isEmpty())
        dashTrack(audio);
    plan.soundOnly = video.isEmpty() && !choice.sound;
    plan.subtitles = dashSubtitleOffers(m);
    return true;
}

bool isHls(const QByteArray &text)
{
    return text.trimmed().startsWith("#EXTM3U") || text.startsWith("\xEF\xBB\xBF#EXTM3U");
}

bool isDash(const QByteArray &text)
{
    return !isHls(text) && looksLikeMpd(text, 4096);
}

} // namespace

StreamPlan planStream(net::HttpClient &client, const QUrl &address, int idleMs, const std::atomic<bool> &cancel,
                      const std::optional<QByteArray> &topText, const QUrl &topFrom, const QualityChoice &choice)
{
    Builder b(client, idleMs, cancel, choice);
    b.plan.trusted = isInternalHost(address.host());
    // A plain fetch takes a body as sent: one packed is asked for again, decoded.
    const bool readable = topText && (isHls(*topText) || isDash(*topText));
    std::optional<Builder::Text> top;
    if (readable)
        top = Builder::Text{*b.counted(address, *topText), topFrom.isEmpty() ? address : topFrom};
    else
        top = b.text(address, true);
    if (top)
        isDash(top->bytes) ? b.dash(top->bytes, top->from) : b.hls(top->bytes, top->from);
    if (!b.failed() && b.plan.pieces.size() > MaxPieces)
        b.refuse(Refusal::TooLarge, net::Cause::TooManyPieces, MaxPieces);
    if (!b.failed() && b.plan.pieces.isEmpty())
        b.refuse(Refusal::Empty, net::Cause::PlaylistNoPieces);
    b.plan.digest = b.hash.result().toHex();
    return b.plan;
}

QString soundOnlyName(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(" (sound only)") + suffix);
}

} // namespace vidrona::download::streams
