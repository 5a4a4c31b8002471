#pragma once
#include "download/streams/qualitychoice.h"
#include "net/pagebounds.h"
#include <QByteArrayView>
#include <QStringList>
#include <QUrl>

// Today's web: the video a page names in its own markup. A pure function of
// the page's bytes and address, with no network and no state, so it can be
// run on any bytes at all.
namespace vidrona::resolve {

enum class PageFinding {
    File,     // fileUrl is the video's http(s) file address
    Streamed, // the page's only video comes in pieces (a playlist, blob: or data:)
    Nothing,  // the page names no video
};

struct PageVideo {
    PageFinding finding = PageFinding::Nothing;
    QString fileUrl; // absolute, fully percent-encoded, without fragment
};

// Only the first MaxPageBytes of a page are looked at.
// Looks, in this order, for og:video:secure_url, og:video:url, og:video,
// twitter:player:stream, the contentUrl of a JSON-LD VideoObject, then the
// src of each <video> element and of its <source> children, in page order.
// Addresses are resolved against the page's <base href> (itself resolved
// against pageAddress) or pageAddress, with character references decoded.
// The first http(s) address that is not a playlist wins.
PageVideo readPageVideo(QByteArrayView page, const QUrl &pageAddress);

// Every http(s) file address of the page in that order of preference,
// without repeats (for trying the next one when the first turns out to be
// a player page rather than a file). streamed, when given, tells whether
// the page also named a video that comes in pieces.
QStringList pageVideoAddresses(QByteArrayView page, const QUrl &pageAddress, bool *streamed = nullptr);

// One of a video's several files on a page (<source>s of its <video>
// that tell their sizes: size, res, label, data-quality, ...; or links).
struct PageSource {
    QString fileUrl; // as in PageVideos::files
    download::streams::Quality quality;
};

// Everything a page says of its video, for the probe that checks it.
struct PageVideos {
    QStringList files;   // as pageVideoAddresses
    QStringList streams; // http(s) playlists and manifests (.m3u8, .mpd), in the same order
    bool unsaveable = false; // it also named blob:, data: or rtmp-like addresses
    QString title;       // og:title, else <title>; blanks simplified, at most MaxTitleChars
    // The files of one video in several sizes, in page order: the <source>s
    // of its <video>s that tell their sizes, else links to media files that
    // do ("talk_720p.mp4"), which are then among files too; none unless
    // there are two or more.
    QList<PageSource> sources;
    QString description; // og:description, else the description meta; at most MaxDescriptionChars
    QString cover;       // og:image (its secure_url first), absolute; empty when none
};
inline constexpr int MaxDescriptionChars = 4096;
inline constexpr int MaxTitleChars = 300;
PageVideos readPageVideos(QByteArrayView page, const QUrl &pageAddress);

} // namespace vidrona::resolve
