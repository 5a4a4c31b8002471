#include "subtitlefetch.h"
#include "download/streams/hlsplaylist.h"
#include "download/streams/textfetch.h"

namespace vidrona::download::subtitles {

namespace {

constexpr net::Subject What = net::Subject::Subtitles;

// A subtitles' playlist that is none, or one that names variants, is
// told as one that cannot be read; any other refusal by its own cause.
net::Failure brokenPlaylist(const streams::HlsPlaylist &p)
{
    net::Failure f = p.refusal == streams::Refusal::None ? net::fail(net::Reason::BrokenAnswer, net::Cause::SubtitlesUnreadable)
                                                         : p.why;
    f.reason = net::Reason::BrokenAnswer; // read as a broken answer for the retries, whatever the refusal
    return f;
}

struct TrackReader {
    net::HttpClient &client;
    bool trusted;
    int idleMs;
    const std::atomic<bool> &cancel;
    qsizetype bytes = 0; // read for this track so far
    net::Failure failure;

    std::optional<VttText> vtt(const QUrl &url)
    {
        const streams::FetchedText body = streams::fetchText(client, url, MaxSubtitleBytes, trusted, What, idleMs,
                                                             cancel);
        if (body.failure.failed())
            return failure = body.failure, std::nullopt;
        if ((bytes += body.bytes.size()) > MaxTrackBytes)
            return failure = net::fail(net::Reason::TooLarge, net::Cause::SubtitlesTooLarge),
                   std::nullopt;
        VttText text = readWebVtt(body.bytes);
        if (!text.ok)
            return failure = net::fail(net::Reason::BrokenAnswer, net::Cause::SubtitlesNotWebVtt), std::nullopt;
        return text;
    }
    // The pieces of an HLS media playlist of WebVTT.
    std::optional<QList<QUrl>> playlist(const QUrl &url)
    {
        const streams::FetchedText body = streams::fetchText(client, url, streams::MaxPlaylistBytes, trusted, What,
                                                             idleMs, cancel);
        if (body.failure.failed())
            return failure = body.failure, std::nullopt;
        const streams::HlsPlaylist p = streams::readHlsPlaylist(body.bytes, body.finalUrl);
        if (p.refusal != streams::Refusal::None || p.kind != streams::HlsPlaylist::Media)
            return failure = brokenPlaylist(p), std::nullopt;
        QList<QUrl> urls;
        for (const streams::HlsPiece &piece : p.media.pieces)
            if (!piece.gap && piece.key < 0)
                urls << piece.url;
        return urls;
    }
    std::optional<Track> track(const Offer &offer)
    {
        QList<QUrl> urls{offer.url};
        if (offer.form == Offer::Form::Unsupported)
            return failure = net::fail(net::Reason::NotTheVideo, net::Cause::SubtitlesFormat, offer.unsupported),
                   std::nullopt;
        if (offer.form == Offer::Form::VttPieces)
            urls = offer.pieces;
        if (offer.form == Offer::Form::VttPlaylist) {
            const std::optional<QList<QUrl>> listed = playlist(offer.url);
            if (!listed)
                return std::nullopt;
            urls = *listed;
        }
        Track track{offer.language, offer.automatic, {}, false};
        QList<QList<Cue>> pieces;
        for (const QUrl &url : std::as_const(urls)) {
            const std::optional<VttText> text = vtt(url);
            if (!text)
                return std::nullopt;
            track.onMediaClock = track.onMediaClock || text->onMediaClock;
            pieces << text->cues;
        }
        track.cues = joinCues(pieces);
        return track;
    }
};

} // namespace

Haul fetchSubtitles(net::HttpClient &client, const QList<Offer> &offers, const QStringList &languages, bool trusted,
                    int idleMs, const std::atomic<bool> &cancel)
{
    Haul haul;
    for (const QString &language : languages.first(qMin(languages.size(), qsizetype(MaxLanguages)))) {
        if (cancel)
            break;
        const int at = offerFor(offers, language);
        if (at < 0) {
            haul.missed << SubtitleMiss{language, net::fail(net::Reason::NotTheVideo, net::Cause::SubtitlesNone)};
            continue;
        }
        TrackReader reader{client, trusted, idleMs, cancel};
        std::optional<Track> track = reader.track(offers.at(at));
        if (track) {
            track->language = language;
            haul.tracks << *track;
        } else {
            haul.missed << SubtitleMiss{language, reader.failure};
        }
    }
    return haul;
}

} // namespace vidrona::download::subtitles
