#pragma once
#include "hlsplaylist.h"
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Reading a static DASH manifest (MPD): the video and audio
// representations of each of its periods, each spelled out as the pieces to
// fetch, whether addressed by SegmentTemplate ($Number$, $Time$,
// SegmentTimeline, $RepresentationID$, $Bandwidth$, widths as %05d),
// SegmentList, or one file (SegmentBase, BaseURL).
namespace vidrona::download::streams {

inline constexpr int MaxPeriods = 256;
inline constexpr int MaxTextTracks = 64;

struct DashPiece {
    QUrl url;
    ByteRange range;
    double seconds = 0;
};

struct DashTrack {
    QByteArray kind; // "video", "audio", or "text" (subtitles, in DashManifest::texts)
    QString id;
    qint64 bandwidth = 0;
    int width = 0;
    int height = 0;
    QByteArray codecs;    // of the representation, else its set
    double frameRate = 0; // 0 unknown
    QString language;     // of its set
    QString mime;         // as the manifest says ("text/vtt", "application/mp4")
    QUrl initUrl; // empty: none
    ByteRange initRange;
    QList<DashPiece> pieces;
    int period = 0;             // which period, counted from 0
    double periodStart = 0;     // where the period starts in the video, in seconds
    double offsetSeconds = 0;   // presentationTimeOffset: the pieces' own time at that start
};

struct DashManifest {
    QList<DashTrack> tracks;
    // The subtitles' sets, one track a representation; one that cannot be
    // read is left out and never refuses the video.
    QList<DashTrack> texts;
    double seconds = 0;
    int periods = 0;
    Refusal refusal = Refusal::None;
    net::Failure why; // for a refusal, its cause and facts
};

DashManifest readDashManifest(QByteArrayView text, const QUrl &address);

// An MPD element opens in the first sniffBytes of text, with or without a
// namespace prefix ("<MPD", "<mpd:MPD").
bool looksLikeMpd(QByteArrayView text, qsizetype sniffBytes);

// The manifest with the tracks of one period alone, for a choice among them.
DashManifest periodOf(const DashManifest &manifest, int period);

// An ISO 8601 duration in any of its forms ("PT1H2M3.5S",
// "P0Y0M0DT0H0M20.000S", "P1W", a decimal comma), in seconds; a year
// counts 365 days and a month 30; -1 when it is none.
double isoSeconds(const QString &text);

} // namespace vidrona::download::streams
