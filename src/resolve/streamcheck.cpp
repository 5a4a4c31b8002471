#include "streamcheck.h"
#include "directfile.h"
#include "download/filenames.h"
#include "download/streams/dashmanifest.h"
#include "download/streams/hlsplaylist.h"
#include "download/streams/qualitychoice.h"

namespace vidrona::resolve {

using download::fileNameFrom;

namespace {

// How far into the text the root element of a manifest is looked for:
// past an XML declaration and comments, never through the whole text.
constexpr qsizetype MpdSniffBytes = 64 << 10;

bool looksLikeDash(QByteArrayView text)
{
    return download::streams::looksLikeMpd(text, MpdSniffBytes);
}

StreamCheck verdictOf(download::streams::Refusal refusal, const net::Failure &why)
{
    switch (refusal) {
    case download::streams::Refusal::None:
        return {StreamCheck::Accepted, {}, {}};
    case download::streams::Refusal::NotAStream:
        return {StreamCheck::NotAStream, why, {}};
    default:
        return {StreamCheck::Refused, why, {}};
    }
}

} // namespace

StreamCheck refusedFor(net::Cause cause)
{
    return {StreamCheck::Refused, download::streams::refusalOf(download::streams::Refusal::Broken, cause), {}};
}

StreamCheck checkStream(QByteArrayView text, const QUrl &address)
{
    if (looksLikeDash(text)) {
        const download::streams::DashManifest manifest = download::streams::readDashManifest(text, address);
        if (manifest.refusal == download::streams::Refusal::None && download::streams::dashChoice(manifest, {}).isEmpty())
            return refusedFor(net::Cause::ManifestNoVideo);
        StreamCheck check = verdictOf(manifest.refusal, manifest.why);
        if (check.verdict == StreamCheck::Accepted)
            check.offer = dashOffer(manifest, text);
        return check;
    }
    const download::streams::HlsPlaylist playlist = download::streams::readHlsPlaylist(text, address);
    if (playlist.refusal != download::streams::Refusal::None || playlist.kind == download::streams::HlsPlaylist::Media)
        return verdictOf(playlist.refusal, playlist.why);
    if (playlist.master.variants.isEmpty())
        return refusedFor(net::Cause::PlaylistNoVideo);
    return {StreamCheck::NeedsVariant, {}, download::streams::hlsChoice(playlist.master, {}), hlsOffer(playlist.master)};
}

StreamCheck checkVariant(QByteArrayView text, const QUrl &address)
{
    const download::streams::HlsPlaylist playlist = download::streams::readHlsPlaylist(text, address);
    if (playlist.refusal == download::streams::Refusal::None && playlist.kind == download::streams::HlsPlaylist::Master)
        return refusedFor(net::Cause::VariantNamesPlaylists);
    StreamCheck check = verdictOf(playlist.refusal, playlist.why);
    // The master was a playlist: a variant that is none is a broken stream.
    if (check.verdict == StreamCheck::NotAStream)
        return refusedFor(net::Cause::VariantUnreadable);
    check.seconds = playlist.media.seconds();
    return check;
}

QString streamFileName(const QString &pageTitle, const QUrl &playlist)
{
    QString name = pageTitle.simplified();
    if (name.isEmpty()) {
        const QString path = playlist.path(QUrl::FullyEncoded);
        const QString segment = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLatin1());
        const QString extension = direct::extensionOf(segment);
        name = extension.isEmpty() ? segment : segment.chopped(extension.size() + 1);
    }
    return fileNameFrom(name, QStringLiteral("mp4"));
}

} // namespace vidrona::resolve
