#pragma once
#include "download/sitevideo/formats.h"
#include "download/streams/qualitychoice.h"
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// What a found video offers to choose from, for a window that asks which:
// its pictures and its sound-only choices, each described the same way
// whatever the source, and the languages of its subtitles. Read from what
// the resolve step fetched anyway, so asking never waits for the network.
namespace vidrona::resolve {

struct Offer {
    QList<download::streams::Quality> qualities;
    // Per quality, the file that is that quality (a page's several
    // <source>s); empty: the row is the stream itself, and its name tells
    // which quality its fetch takes.
    QStringList files;
    QStringList subtitles; // languages ("en", "de"), in the source's order, without repeats
    // Per language, how a window shows it ("en (automatic)"); empty: as
    // the language itself.
    QStringList subtitleLabels;
    QString name;          // the row's name before a choice is added to it
    // A site's formats as yt-dlp read them (the row's formats are fetched
    // instead of a file): per quality, the index of its format in
    // site->formats; -1: sound only by the rule (no format is sound alone).
    std::shared_ptr<const download::sitevideo::Info> site;
    QList<int> formats;
    // The line the settings' choice takes; -1: the best by the rule.
    int preferred = -1;

    // Something to choose: more than one quality, or subtitles.
    bool worthAsking() const { return qualities.size() > 1 || !subtitles.isEmpty(); }
};

// An HLS master's: its variants, then the sound alone (its sound rendition
// when it has one, else its sound-only variants, else one choice that
// keeps a variant's sound), and its SUBTITLES renditions' languages.
// seconds: the video's length, for the sizes (0 unknown).
Offer hlsOffer(const download::streams::HlsMaster &master, double seconds = 0);
// A DASH manifest's tracks, with the languages of its text sets read from
// its text (the manifest reader keeps pictures and sound only).
Offer dashOffer(const download::streams::DashManifest &manifest, QByteArrayView text);
// The languages of a manifest's text adaptation sets; at most MaxLanguages.
QStringList dashTextLanguages(QByteArrayView text);

inline constexpr int MaxLanguages = 32;

} // namespace vidrona::resolve
