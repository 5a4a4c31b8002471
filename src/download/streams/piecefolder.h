#pragma once
#include "download/piecescheduler.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The hidden folder beside a streamed video's final name that keeps its
// pieces until they are joined: ".<final name>.pieces/", holding
//   <n>.piece       piece n, complete (written as <n>.piece.part first)
//   record          the playlist's address, a digest of the playlist or
//                   manifest texts, and the pieces done (engine/record.h)
//   joined.mp4      the joined file, until it is put in place
// No final name may end in ".pieces" (kept::isKeptName), so no download
// can take the folder's name.
namespace vidrona::streams {

struct PieceRecord {
    QByteArray address;
    QByteArray digest;
    int pieces = 0;
    QList<Span> done;
};

class PieceFolder
{
public:
    explicit PieceFolder(const QString &finalPath);
    QString path() const { return m_path; }
    bool exists() const;
    // Makes the folder when it is missing; false when something that is
    // not a plain folder (a link, a file) holds its name.
    bool make(QString *error) const;

    QString piecePath(int n) const;
    QString tempPath(int n) const;
    QString joinedPath() const;
    QString recordPath() const;
    // The length of piece n when it is there as a plain file; -1 otherwise.
    qint64 pieceSize(int n) const;

    // The record (engine/record.h), when it is a stream's.
    std::optional<PieceRecord> load() const;
    // The pieces of [0, pieces) whose files are there. A piece gets its
    // name only once it is whole and durable (completePiece), so each of
    // them counts, also one a crash kept the record from naming.
    QList<Span> piecesOnDisk(int pieces) const;
    // Replaces the record in one durable step; false leaves the old one.
    // Only pieces already durable may be named (completePiece syncs them).
    bool save(const PieceRecord &record) const;
    // Removes what the folder holds (links themselves, never what they
    // point to), and with removeFolder the folder too.
    void clear(bool removeFolder) const;

private:
    QString m_path;
};

} // namespace vidrona::streams
