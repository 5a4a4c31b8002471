#pragma once
#include "hlsplaylist.h"
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Reading a static DASH manifest (MPD): the video and audio
// representations of its first period, each spelled out as the pieces to
// fetch, whether addressed by SegmentTemplate ($Number$, $Time$,
// SegmentTimeline, $RepresentationID$, $Bandwidth$, widths as %05d),
// SegmentList, or one file (SegmentBase, BaseURL).
namespace vidrona::streams {

struct DashPiece {
    QUrl url;
    ByteRange range;
    double seconds = 0;
};

struct DashTrack {
    QByteArray kind; // "video" or "audio"
    QString id;
    qint64 bandwidth = 0;
    int width = 0;
    int height = 0;
    QUrl initUrl; // empty: none
    ByteRange initRange;
    QList<DashPiece> pieces;
};

struct DashManifest {
    QList<DashTrack> tracks;
    double seconds = 0;
    Refusal refusal = Refusal::None;
    QString why;
};

DashManifest readDashManifest(QByteArrayView text, const QUrl &address);

// The track of that kind to save: the highest bandwidth, then the largest
// picture.
std::optional<DashTrack> bestTrack(const DashManifest &manifest, const QByteArray &kind);

// An ISO 8601 duration as manifests write it ("PT1H2M3.5S"), in seconds;
// -1 when it is none.
double isoSeconds(const QString &text);

} // namespace vidrona::streams
