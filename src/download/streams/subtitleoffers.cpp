#include "subtitleoffers.h"

namespace vidrona::download::streams {

using subtitles::Offer;

QList<Offer> hlsSubtitleOffers(const HlsMaster &master)
{
    QList<Offer> offers;
    for (const HlsRendition &r : master.renditions)
        if (r.type == "SUBTITLES" && !r.url.isEmpty() && offers.size() < MaxTextTracks)
            offers << Offer{r.language, r.name, false, Offer::Form::VttPlaylist, r.url, {}, {}};
    return offers;
}

namespace {

Offer dashOffer(const DashTrack &track, bool severalPeriods)
{
    Offer offer{track.language, track.id, false, Offer::Form::Unsupported, {}, {}, {}};
    const bool ttml = track.mime.contains(QLatin1String("ttml")) || track.codecs.startsWith("stpp");
    if (ttml)
        offer.unsupported = QStringLiteral("TTML");
    else if (!track.mime.startsWith(QLatin1String("text/vtt")))
        offer.unsupported = QStringLiteral("packed in MP4 pieces");
    else if (severalPeriods)
        offer.unsupported = QStringLiteral("cut in several periods");
    else if (!track.initUrl.isEmpty() || track.pieces.isEmpty())
        offer.unsupported = QStringLiteral("not one file or plain pieces");
    if (!offer.unsupported.isEmpty())
        return offer;
    for (const DashPiece &p : track.pieces)
        if (!p.range.whole())
            return offer.unsupported = QStringLiteral("cut in byte ranges"), offer;
    offer.form = track.pieces.size() == 1 ? Offer::Form::WebVtt : Offer::Form::VttPieces;
    offer.url = track.pieces.first().url;
    if (offer.form == Offer::Form::VttPieces)
        for (const DashPiece &p : track.pieces)
            offer.pieces << p.url;
    return offer;
}

} // namespace

QList<Offer> dashSubtitleOffers(const DashManifest &manifest)
{
    QList<Offer> offers;
    for (const DashTrack &t : manifest.texts)
        if (t.period == 0)
            offers << dashOffer(t, manifest.periods > 1);
    return offers;
}

} // namespace vidrona::download::streams
