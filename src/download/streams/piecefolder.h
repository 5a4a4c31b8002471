#pragma once
#include "mp4joiner.h"
#include "download/piecescheduler.h"
#include <QMap>
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The hidden folder beside a streamed video's final name that keeps its
// pieces until they are joined: ".<final name>.pieces/", holding
//   pieces          every piece side by side at the offset it was given
//                   when its head came; a crash may leave bytes between
//                   them that belong to no piece
//   record          the playlist's address, a digest of the playlist or
//                   manifest texts, the pieces done and where each lies
//                   in "pieces" (engine/record.h)
//   <n>.piece       piece n as a file of its own, left by earlier versions
//                   and still joined from where it is
//   joined.mp4      the joined file, until it is put in place
//   sound           its sound alone, when only that is kept
//   encoded.mp3     that sound encoded as MP3, when the row asks for one
// One kept file, not one per piece: a stream of many small pieces costs
// a few syncs a second, not a file made, synced and renamed per piece.
// No final name may end in ".pieces" (kept::isKeptName), so no download
// can take the folder's name.
namespace vidrona::download::streams {

struct PieceRecord {
    QByteArray address;
    QByteArray digest;
    int pieces = 0;
    QList<Span> done;
    QMap<int, Span> places; // where done pieces lie in the kept file; none: a file of their own
    QByteArray quality; // the settings' word of the quality the pieces are; empty: the best
    QByteArray subtitles; // the subtitles asked with them (subtitles::Wish::recordText); empty: none
};

class PieceFolder
{
public:
    explicit PieceFolder(const QString &finalPath);
    QString path() const { return m_path; }
    bool exists() const;
    // Makes the folder when it is missing; false when something that is
    // not a plain folder (a link, a file) holds its name.
    bool make() const;

    // A piece as a file of its own, as earlier versions kept them.
    QString piecePath(int n) const;
    QString keptPath() const;
    QString joinedPath() const;
    // The sound alone, taken from the joined file when only it is kept.
    QString soundPath() const;
    // That sound encoded as MP3.
    QString encodedPath() const;
    QString recordPath() const;
    // Where piece n's bytes are, by record: its place in the kept file
    // (when the file reaches that far), else its own file when that is a
    // plain file; none when neither.
    std::optional<JoinPiece> where(const PieceRecord &record, int n) const;
    // The length of piece n by the record on disk; -1 when it is not there.
    qint64 pieceSize(int n) const;

    // The record (engine/record.h), when it is a stream's.
    std::optional<PieceRecord> load() const;
    // The pieces of [0, pieces) whose bytes are there: those the record
    // places and finds, and every piece file of an earlier version (such a
    // file got its name only once whole and durable).
    QList<Span> piecesOnDisk(int pieces) const;
    // Replaces the record in one durable step; false leaves the old one.
    // Only pieces already durable may be named: the caller syncs first.
    bool save(const PieceRecord &record) const;
    // Removes what the folder holds (links themselves, never what they
    // point to), and with removeFolder the folder too.
    void clear(bool removeFolder) const;

private:
    QString m_path;
};

} // namespace vidrona::download::streams
