#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Subtitles as timed lines of text: read from WebVTT (a file, or the
// pieces of a playlist, each timed on its own), and written as SubRip
// (.srt), the form every player reads beside a video.
namespace vidrona::download::subtitles {

// One cue has at most this much text, and a track at most this many cues:
// a subtitle file is small, and one that is not is no subtitle.
inline constexpr int MaxCueChars = 4096;
inline constexpr int MaxCues = 50000;

struct Cue {
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString text; // as the cue writes it, tags and all; lines split by '\n'
    bool operator==(const Cue &) const = default;
};

struct VttText {
    QList<Cue> cues;
    // An X-TIMESTAMP-MAP placed the cues on the media's own clock (the
    // MPEG-TS time of the pieces, in ms): the file's zero is still to be
    // taken off. Without one, the times are the video's from its start.
    bool onMediaClock = false;
    bool ok = false; // false: the text is no WebVTT
};

// The cues of one WebVTT text (a whole file or a playlist's piece), each
// shifted by its X-TIMESTAMP-MAP when it has one. Notes, styles and
// regions are skipped; a cue whose times cannot be read is left out.
VttText readWebVtt(QByteArrayView text);

// Cues of several pieces as one track, in time order; a cue that runs on
// over a piece's end comes in both pieces and is kept once.
QList<Cue> joinCues(const QList<QList<Cue>> &pieces);

// A cue's text as plain lines: tags (<c.yellow>, <v Anna>, <b>, <00:01.000>)
// taken out and the entities (&amp; &lt; &gt; &nbsp; ...) read.
QString plainText(const QString &cueText);

// SubRip: numbered cues from 1, "00:01:02,345 --> 00:01:04,000", their
// plain text, a blank line after each; cues shifted by -shiftMs, and those
// that end before zero left out.
QByteArray srtText(const QList<Cue> &cues, qint64 shiftMs = 0);

// "01:02:03.456", "02:03.456" in ms; -1 when it is not a WebVTT time.
qint64 vttTime(QStringView text);

} // namespace vidrona::download::subtitles
