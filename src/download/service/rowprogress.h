#pragma once
#include <QMetaType>
#include <QtGlobal>

namespace vidrona::download::service {

// Where a running row's fetch stands, in numbers: the window makes the
// words of them.
struct RowProgress {
    qint64 bytes = 0;          // of the file so far, kept ones of an earlier fetch included
    qint64 total = -1;         // the file's full length; -1 unknown
    double bytesPerSecond = 0; // this fetch's speed since it started
    int piecesDone = 0;        // a stream's pieces that arrived,
    int piecesTotal = 0;       // of how many; 0 of 0 for a plain file
    int encodedPermille = -1;  // the share of an encode after the fetch (MP3); -1: none
    bool isStream() const { return piecesTotal > 0; }
};

} // namespace vidrona::download::service

Q_DECLARE_METATYPE(vidrona::download::service::RowProgress)
