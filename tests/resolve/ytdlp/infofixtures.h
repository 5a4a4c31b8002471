#pragma once
#include <QByteArray>
#include <QString>

// Answers shaped like those of real sites, written from yt-dlp's documented
// info-dict fields (id, title, extractor, formats with format_id, url,
// protocol, ext, vcodec, acodec, height, tbr, filesize, http_headers,
// downloader_options.http_chunk_size, fragment_base_url, fragments,
// has_drm; is_live, live_status; _type playlist with entries). Their
// addresses point at the simulated web. They are handed to the real
// yt-dlp with --load-info-json by a wrapper script set as its program.
namespace vidrona::test::ytinfo {

// Separate https picture (avc1) and sound (mp4a) formats with headers,
// a chunk size and expire= addresses, beside worse ones.
QByteArray youTubeLike(const QString &mediaBase, qint64 videoSize, qint64 audioSize, qint64 chunkSize,
                       qint64 expire = 4102444800);
// An HLS picture playlist with a separate sound rendition.
QByteArray vimeoLike(const QString &mediaBase);
// A DASH format given as a list of fragments under a base address.
QByteArray dashFragments(const QString &mediaBase);
QByteArray playlistOfThree(const QString &pageBase);
// fixture with subtitles (en in srv3 and WebVTT, a live chat) and
// automatic captions (en, de in WebVTT; fr in json3) under subtitleBase.
QByteArray withSubtitles(const QByteArray &fixture, const QString &subtitleBase);
QByteArray drmOnly(const QString &mediaBase);
QByteArray live(const QString &mediaBase);
QByteArray rtmpOnly(const QString &mediaBase);

// A wrapper script in folder that logs its arguments (one a line, to
// folder/args.log) and runs the real yt-dlp with fixture as its answer;
// sleepFirst: it starts a child that sleeps for a long time and waits for it.
QString writeWrapper(const QString &folder, const QString &fixturePath, bool sleepFirst = false);

} // namespace vidrona::test::ytinfo
