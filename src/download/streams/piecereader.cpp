#include "piecereader.h"

extern "C" {
#include <libavutil/error.h>
}

namespace vidrona::download::streams {

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
                return r->fail(r->file.errorString());
            if (r->left > 0) // the file ends before the piece does
                return r->fail(QStringLiteral("%1: a piece is cut short").arg(r->file.fileName()));
            r->file.close();
        }
        if (r->next >= r->pieces.size())
            return AVERROR_EOF;
        if (!r->openNext())
            return r->fail(QStringLiteral("%1: %2").arg(r->file.fileName(), r->file.errorString()));
    }
}

bool PieceReader::openNext()
{
    const JoinPiece &p = pieces.at(next++);
    file.setFileName(p.path);
    left = p.length;
    return file.open(QIODevice::ReadOnly) && file.seek(p.offset);
}

int PieceReader::fail(const QString &why)
{
    failure = why;
    return AVERROR(EIO);
}

} // namespace vidrona::download::streams
