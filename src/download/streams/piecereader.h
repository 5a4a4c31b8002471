#pragma once
#include "mp4joiner.h"
#include "net/failure.h"
#include "platform/platform.h"
#include <QFile>
#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>

// The pieces of one input of a join, each a range of a file, handed to the
// demuxer as one stream of bytes (an AVIOContext's read callback).
namespace vidrona::download::streams {

struct PieceReader {
    QList<JoinPiece> pieces;
    const std::atomic<bool> *cancel = nullptr;
    int next = 0;
    QFile file;
    qint64 left = -1; // of the open piece; -1: to the end of its file
    net::Step failure; // why the last read failed, none before

    // Up to size bytes into buffer: their count, AVERROR_EOF after the last
    // piece, or an error (failure then says why; AVERROR_EXIT on a cancel).
    static int read(void *opaque, uint8_t *buffer, int size);

private:
    bool openNext(platform::OpenFault *why);
    int fail(const net::Step &why);
};

} // namespace vidrona::download::streams
