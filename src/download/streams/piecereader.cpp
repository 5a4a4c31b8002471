#include "piecereader.h"
#include "platform/platform.h"

extern "C" {
#include <libavutil/error.h>
}

namespace vidrona::download::streams {

namespace {

net::Step pieceStep(net::Step::Kind kind, const QString &path, const QString &words = QString())
{
    net::Step s = net::step(kind, words);
    s.path = path;
    return s;
}

} // namespace

int PieceReader::read(void *opaque, uint8_t *buffer, int size)
{
    auto *r = static_cast<PieceReader *>(opaque);
    if (r->cancel && *r->cancel)
        return AVERROR_EXIT;
    for (;;) {
        if (r->file.isOpen()) {
            const qint64 want = r->left < 0 ? size : qMin<qint64>(size, r->left);
            const qint64 n = want > 0 ? r->file.read(reinterpret_cast<char *>(buffer), want) : 0;
            if (n > 0) {
                r->left = r->left < 0 ? -1 : r->left - n;
                return int(n);
            }
            if (n < 0)
                return r->fail(net::step(net::Step::SystemWords, r->file.errorString()));
            if (r->left > 0) // the file ends before the piece does
                return r->fail(pieceStep(net::Step::PieceCutShort, r->pieces.at(r->next - 1).path));
            r->file.close();
        }
        if (r->next >= r->pieces.size())
            return AVERROR_EOF;
        if (platform::OpenFault why; !r->openNext(&why))
            return r->fail(pieceStep(why.notPlain ? net::Step::PieceNotPlain : net::Step::PieceFile,
                                     r->pieces.at(r->next - 1).path, why.words));
    }
}

// A piece is read as the kept file it is: a link or a pipe put in its
// place is not followed, nor waited on.
bool PieceReader::openNext(platform::OpenFault *why)
{
    const JoinPiece &p = pieces.at(next++);
    left = p.length;
    if (!platform::openKept(file, p.path, QIODevice::ReadOnly, why))
        return false;
    if (file.seek(p.offset))
        return true;
    *why = {false, file.errorString()};
    file.close();
    return false;
}

int PieceReader::fail(const net::Step &why)
{
    failure = why;
    return AVERROR(EIO);
}

} // namespace vidrona::download::streams
