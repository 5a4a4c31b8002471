#pragma once
#include "streamsite.h"
#include <QList>
#include <QString>

// The shapes packagers and CDNs give streams beyond the plain ones of
// streamsite.h, cut by ffmpeg at test time from the same clip: DASH
// manifests written as other packagers write them, HLS gaps, sound-only
// variants, and fMP4 playlists whose second half comes with an init
// section of its own.
namespace vidrona::test {

struct MpdPeriod {
    QString pack;        // a DASH packaging made by ShapeClips::dashPack
    qint64 offsetMicros = 0; // presentationTimeOffset, at a timescale of 1 000 000
};

struct MpdForm {
    bool prefixed = false;         // every element as <mpd:Name>
    QString duration = "PT4S";     // mediaPresentationDuration
    bool inherited = false;        // BaseURL at every level, SegmentTemplate split over them
    QList<MpdPeriod> periods;
};

class ShapeClips
{
public:
    explicit ShapeClips(StreamClips &clips) : m_clips(clips) {}
    // Cuts source (a file under the clips' folder) into 1 s DASH pieces
    // under dashshapes/packs/name, their clock moved by offsetSeconds.
    bool dashPack(const QString &name, const QString &source, int offsetSeconds);
    // Writes the manifest dashshapes/name.mpd; returns its relative path.
    QString mpd(const QString &name, const MpdForm &form);
    // The "ts" shape's playlist with the pieces numbered in gaps marked
    // EXT-X-GAP and pointing at files that are not there.
    QString withGaps(const QString &name, const QList<int> &gaps);
    // fMP4 HLS: source's pieces, then after a discontinuity with a new
    // EXT-X-MAP, second's; files made once per source.
    QString newInit(const QString &name, const QString &first, const QString &second);
    // A master naming the sound-only playlist (its CODECS mp4a) and/or the
    // one with a picture; text is the master with %1 for the sound-only
    // address and %2 for the other.
    QString master(const QString &name, const QString &text);
    // A master with the reference's picture in TS pieces and its sound
    // apart, packed in .aac pieces each led by an ID3 tag naming its time
    // on the pictures' clock.
    // id3Version: 3 or 4 (frame sizes plain or seven bits a byte).
    // jumpSeconds: from the third piece on, after a discontinuity, the
    // tags place the sound this much later (a break in it).
    QString packedAudio(int id3Version, double jumpSeconds = 0);
    // A clip like the reference but encoded apart with other settings.
    QString otherEncoding();

private:
    QString path(const QString &relative) const;
    bool hls(const QString &into, const QString &source, const QStringList &more);
    StreamClips &m_clips;
};

} // namespace vidrona::test
