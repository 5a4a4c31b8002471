#pragma once
#include "download/streams/qualitychoice.h"
#include "net/failure.h"
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// What an outside finder (yt-dlp) says about a page's video, as plain
// data: read from its JSON answer by the resolve layer, kept beside a row
// by the download layer, fetched by the engine. Only the fields Vidrona
// uses are read; everything else in the answer is ignored.
namespace vidrona::download::sitevideo {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One piece of a fragmented format: an address of its own, or a path
// under the format's fragment base address.
struct Fragment {
    QString url;
    QString path;
    bool operator==(const Fragment &) const = default;
};

struct Format {
    QString id;       // format_id
    QString url;      // the file, playlist or manifest
    QString protocol; // https, http, m3u8_native, m3u8, http_dash_segments, ...
    QString ext;      // mp4, m4a, webm, ...
    QString vcodec;   // "none" when the format carries no picture
    QString acodec;   // "none" when it carries no sound
    int width = 0;
    int height = 0;
    double fps = 0;
    QString language;
    double tbr = 0;               // total bit rate, kbit/s; 0 unknown
    qint64 filesize = -1;         // exact, or yt-dlp's estimate; -1 unknown
    bool sizeExact = false;       // filesize, not filesize_approx
    qint64 chunkSize = 0;         // downloader_options.http_chunk_size; 0 none
    bool hasDrm = false;
    HeaderList headers;           // http_headers, sent as given, but for Cookie
    // Netscape cookie-file lines for libcurl's cookie engine, which sends
    // each only to the hosts it belongs to: from the Cookie header of older
    // yt-dlp (for the format's host) and the cookies field of newer ones.
    QList<QByteArray> cookies;
    QString fragmentBaseUrl;
    QList<Fragment> fragments;

    bool hasVideo() const { return !vcodec.isEmpty() && vcodec != QLatin1String("none"); }
    bool hasAudio() const { return !acodec.isEmpty() && acodec != QLatin1String("none"); }
    bool operator==(const Format &) const = default;
};

// A subtitle file the site offers in one language.
struct SubtitleFile {
    QString language; // as the site names it: "en", "en-US", "de"
    QString name;     // "English"
    QString url;
    QString ext;      // vtt, srv3, json3, ttml...
    bool automatic = false; // yt-dlp's automatic_captions, not subtitles
    bool operator==(const SubtitleFile &) const = default;
};

// A playlist's entry: an address to read again when it is fetched.
struct Entry {
    QString url;
    QString title;
};

struct Info {
    QString id;
    QString title;
    QString extractor;  // "generic": yt-dlp knows the page only as any page
    QString webpageUrl;
    // What the file may say of itself: the artist (artist, artists or
    // creator), the uploader, upload_date ("YYYYMMDD"), the description and
    // the picture (a JPEG or PNG of thumbnails where the best is neither).
    QString artist;
    QString uploader;
    QString uploadDate;
    QString description;
    QString thumbnail;
    bool live = false;  // is_live, or a live_status that is not a finished recording
    bool playlist = false;
    double duration = 0; // seconds; 0 unknown
    QList<Format> formats;
    QList<SubtitleFile> subtitles; // a person's first, then automatic ones (sitesubtitles.h)
    QList<Entry> entries;
    int entryCount = 0; // all the playlist's entries, also those past the bound
};

// At most this many formats and playlist entries are read from one answer.
inline constexpr int MaxFormats = 500;
inline constexpr int MaxEntries = 1000;
inline constexpr int MaxFragments = 50000;
inline constexpr int MaxSubtitleFiles = 200;

// The answer's JSON read, or nothing (error says why) when it is not one.
std::optional<Info> parseInfo(const QByteArray &json, QString *error = nullptr);

// What is fetched for a video: one format, or a picture and a sound
// format joined into one file without re-encoding.
struct Choice {
    QList<Format> parts; // the picture first; empty when refused
    QString container;   // "mp4" or "mkv"
    net::Failure refusal; // why, when nothing can be fetched
    // The user's choice the formats were chosen for (streams::QualityChoice's
    // key), so that a page read again gives the same, and sound only
    // keeps the sound alone; empty: the best.
    QByteArray quality;
    // A playlist's video: its page is read (and its formats chosen) only
    // when the row is fetched.
    bool unread = false;
    QList<SubtitleFile> subtitles; // the video's, for the fetch to take those asked
    // The id of the format the user picked from a list of them: the page
    // read again takes that one while it still offers it; empty: by quality.
    QString picked;
    bool ok() const { return !parts.isEmpty() || unread; }
    static Choice readAtFetch()
    {
        Choice c;
        c.unread = true;
        return c;
    }
};

// How a user's quality choice narrows the formats: the Preferences'
// choice, through the one rule every source with several qualities uses
// (streams::chooseVideo, streams::chooseSound); the default takes the best.
struct Wish {
    int maxHeight = 0; // 0: no bound
    bool audioOnly = false;
    // The index in qualities(info) of a format the user picked from a list
    // of them: that one, with the best sound beside it when it has none
    // of its own; -1: by the rule.
    int picked = -1;
    // The same by the format's id (a page read again, whose list may have
    // changed); not found: by the rule.
    QString pickedId;
    int maxKbps = 0; // the rule's bound on the rate; 0: none

    static Wish of(const streams::QualityChoice &choice)
    {
        return {choice.maxHeight, choice.sound, -1, {}, choice.maxKbps};
    }
    streams::QualityChoice choice() const { return {maxHeight, audioOnly, maxKbps}; }
};

// Every format of info as a quality (one per format, in the answer's
// order, so an index in one is the same index in the other): what a list
// of qualities shows and what the rule chooses among.
QList<streams::Quality> qualities(const Info &info);

// Whether Vidrona's fetch reads this protocol.
bool isFetchable(const QString &protocol);
// Whether the codec may go into an MP4 file without re-encoding.
bool fitsMp4(const QString &codec, bool video);

// The formats to fetch: the picture the wish allows and the best sound,
// both fitting MP4, else the pair for MKV, else the best single file; for
// sound only, the best sound-only format alone (else the smallest whole
// video, whose picture is dropped after the fetch). Live
// videos and formats under DRM are refused, as are formats whose protocol
// Vidrona does not fetch (the refusal names it).
Choice choose(const Info &info, const Wish &wish = {});

// The choice as kept beside a row, and read back.
QByteArray choiceText(const Choice &choice);
std::optional<Choice> parseChoice(const QByteArray &text);

} // namespace vidrona::download::sitevideo
