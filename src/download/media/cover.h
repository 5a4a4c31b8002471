#pragma once
#include "tags.h"
#include <QUrl>
#include <atomic>

// A file's picture, fetched just before the file is written: a small
// image, read within the bounds every page read has, that only ever adds
// to the file. Whatever goes wrong with it leaves the file without one.
namespace vidrona::download::media {

// A picture larger than this is no cover (a site's largest thumbnails are
// a few hundred KB); it stays well within a page's own bound.
inline constexpr qsizetype MaxCoverBytes = qsizetype(2) << 20;

// tags with the picture at tags.coverUrl in tags.cover: a JPEG or PNG by
// its own first bytes, sent as an image type, within MaxCoverBytes and
// the page fetch's times. Without it (no address, an error, too large,
// not such a picture, cancel set) tags.cover stays empty. rowUrl's host
// being this machine or its network lets the picture be there too, as the
// row's own pieces may. Without an address it returns at once.
Tags withCover(const Tags &tags, const QUrl &rowUrl, const std::atomic<bool> &cancel);

} // namespace vidrona::download::media
