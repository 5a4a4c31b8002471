#pragma once
#include "dashmanifest.h"
#include "hlsplaylist.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Which of a video's several qualities to save. Every source that offers
// more than one (an HLS master's variants, a DASH manifest's
// representations, a page's several <source> files, a site's own format
// list) describes each as a Quality, and the one rule below picks for all
// of them, so a choice means the same whatever the source.
namespace vidrona::download::streams {

// One quality as a source describes it; what it does not say stays at 0
// or empty.
struct Quality {
    bool video = true;   // holds a picture
    bool sound = true;   // holds sound (a muxed variant: both)
    int width = 0;
    int height = 0;
    double frameRate = 0;
    QByteArray codecs;   // as the source writes them ("avc1.64001f,mp4a.40.2")
    qint64 bitrate = 0;  // bits a second
    qint64 bytes = -1;   // the size when the source says it; -1 unknown
    double seconds = 0;  // the length, for a size from the bitrate
    QString language;    // of a sound or subtitle track

    // The size: known, else bitrate × length (*about set); -1 when neither.
    qint64 size(bool *about = nullptr) const;
};

// What the user chose: the best, the best up to a height, or sound only;
// a quality picked from a list adds a bound on the rate when the height
// alone would take another one of that height.
struct QualityChoice {
    int maxHeight = 0;  // 0: no limit
    bool sound = false; // sound only
    int maxKbps = 0;    // at most this many kilobits a second; 0: no bound

    // The word: "best", a height ("720"), "sound", each with "@kb/s" for
    // a bound ("720@1500", "sound@64"); an unknown word is the best, so a
    // hand-edited file never stops a download.
    static QualityChoice fromKey(const QByteArray &key);
    QByteArray key() const;
    // For the row's name: "720p", "sound", "720p 1500k"; empty for the best.
    QString label() const;
    bool isBest() const { return maxHeight <= 0 && !sound && maxKbps <= 0; }
    bool operator==(const QualityChoice &) const = default;
};

// The index in qualities of the picture to save: the best (highest
// bitrate, then largest picture) of those no taller than the limit; when
// none fits, the smallest picture. -1 when none holds a picture.
int chooseVideo(const QList<Quality> &qualities, const QualityChoice &choice);
// The index of the sound to save on its own: the highest bitrate of those
// that hold sound and no picture (within choice's bound on the rate, else
// the lowest); -1 when there is none.
int chooseSound(const QList<Quality> &qualities, const QualityChoice &choice = {0, true});
// The choice that takes qualities[index] by the two rules above: its
// height (sound only for a sound), with a bound on the rate only when the
// height alone would take another.
QualityChoice choiceFor(const QList<Quality> &qualities, int index);

// The qualities of a master's variants, in its order; seconds: the length
// of the video, for the sizes (0 unknown).
QList<Quality> hlsQualities(const HlsMaster &master, double seconds = 0);
// The qualities of a manifest's tracks, in its order.
QList<Quality> dashQualities(const DashManifest &manifest);

} // namespace vidrona::download::streams

namespace vidrona::download::streams {

// The media playlists of master to fetch for choice: the chosen variant
// and its separate sound; for sound only, a sound rendition's playlist
// alone when there is one, else a variant without picture, else the
// smallest variant (its picture dropped after the join).
QList<QUrl> hlsChoice(const HlsMaster &master, const QualityChoice &choice);
// The tracks of manifest to fetch for choice: the chosen picture and the
// best sound; for sound only, the best sound alone when there is one.
QList<DashTrack> dashChoice(const DashManifest &manifest, const QualityChoice &choice);

} // namespace vidrona::download::streams

namespace vidrona::download::streams {

// A stream row's name tells the choice it was added with, so the list file
// keeps it as it is: "Talk (720p).mp4", "Talk (sound).m4a"; the best adds
// nothing. name is a file name ending in an extension.
// mp3: sound only is saved as MP3 ("Talk (sound).mp3").
QString nameWithChoice(const QString &name, const QualityChoice &choice, bool mp3 = false);
// The choice a row's name tells; the best when it tells none.
QualityChoice choiceInName(const QString &name);

} // namespace vidrona::download::streams
