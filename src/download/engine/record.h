#pragma once
#include "platform/platform.h"
#include "download/piecescheduler.h"
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// The record of what arrived for one fetch, whatever its kind, in one
// format read by one reader. It lies beside what it describes:
//   <name>.partinfo             for the kept bytes <name>.part of a file
//   .<name>.pieces/record       for the pieces of a streamed video
//   .<name>.chosen              for the formats a site's finder chose,
//                               whose own bytes have records of their own
// and reads, one "key value" per line:
//   vidrona record 2
//   kind file | pieces | formats
//   address <address the bytes came from, or the playlist's>
//   etag <strong ETag>          (file: or last-modified <date>)
//   total <full length>         (file: -1 unknown)
//   digest <of the playlist>    (pieces)
//   pieces <how many>           (pieces)
//   quality <choice>            (pieces, formats; when not the best: "720", "sound")
//   formats <one line of JSON>  (formats) the chosen formats, as the
//                               download layer's sitevideo writes them
//   subtitles en,de [inside]    (pieces, when some were asked: the languages
//                               and whether they go into the file)
//   places 0:0+1316,1:1316+988  (pieces) where each piece lies in the
//                               folder's kept file: number:offset+length;
//                               a piece done but not placed is a file of
//                               its own (earlier versions kept one a piece)
//   done 0-1048576,2097152-     spans of bytes (file) or piece numbers
//                               (pieces) that arrived; "K-" (file only):
//                               from K to the end of the kept bytes
// Unknown keys are skipped, so a later version may add some. The records
// of earlier versions ("vidrona kept bytes 1", "vidrona stream pieces 1")
// are read too, so no fetch in progress is lost by an update.
// A record is written only through platform::writeFileSafely (a new file,
// made durable, renamed over the old one, never through a link) and only
// after the bytes it names are durable; it is read only as a plain file of
// at most MaxRecordBytes. A record too long for its bound is written with
// its last spans left out: it then names fewer bytes, never more.
namespace vidrona::download::engine {

inline constexpr qint64 MaxRecordBytes = 64 << 10;
// A stream's record names the place of every piece: up to streams::MaxPieces
// of them, some 25 bytes each.
inline constexpr qint64 MaxPiecesRecordBytes = 2 << 20;
// Chosen formats may list thousands of fragments, each an address.
inline constexpr qint64 MaxFormatsRecordBytes = 4 << 20;

// spans merged and in order.
QList<Span> mergedSpans(QList<Span> spans);

struct FetchRecord {
    enum class Kind { File, Pieces, Formats };
    QByteArray address;      // of the answer the bytes came from; a stream's playlist
    QByteArray etag;         // strong ETag; empty when Last-Modified serves
    QByteArray lastModified; // only when there is no ETag
    qint64 total = -1;       // full length of that answer; -1 unknown
    QList<Span> done;        // bytes (file) or piece numbers (pieces) there, in order
    // One connection writing in order: the bytes from here to the end of
    // the kept bytes arrived too, whatever their length when read (-1: none).
    qint64 doneFrom = -1;
    Kind kind = Kind::File; // after the fields above, which a file's record is written with in order
    QByteArray digest; // of the playlist or manifest texts (pieces)
    int pieces = 0;    // how many pieces the stream has (pieces)
    QByteArray quality; // which of its qualities the pieces are (pieces); empty: the best
    QByteArray subtitles; // the subtitles asked with them (pieces): "en,de inside"; empty: none
    QMap<int, Span> places; // piece number -> [offset, offset + length) in the kept file (pieces)
    QByteArray formats; // the chosen formats, one line (formats)

    bool hasValidator() const { return !etag.isEmpty() || !lastModified.isEmpty(); }
    QByteArray validator() const { return etag.isEmpty() ? lastModified : etag; }
    bool operator==(const FetchRecord &) const = default;
};

// The record text holds, or nothing when it is none of the known formats
// or lacks what its kind needs (an address; a file's validator; a
// stream's digest and piece count; the formats). Spans that cannot be are left out; a
// stream's are cut to its piece count.
std::optional<FetchRecord> parseRecord(const QByteArray &text);
// The text of record in today's format, at most MaxRecordBytes long;
// empty when a value holds a line break (the record could not be read back).
QByteArray recordText(const FetchRecord &record);

// The record at path, read as a plain file only (a link, a folder or a
// file past the bound is refused).
std::optional<FetchRecord> readRecord(const QString &path);
// Replaces the record at path in one durable step; false leaves the old one,
// with the system's words in error (none when recordText refused a value).
bool writeRecord(const QString &path, const FetchRecord &record, QString *error = nullptr,
                 platform::FileFault *fault = nullptr);

} // namespace vidrona::download::engine
