// The page fetch's reading of an answer: the head within its bounds, a
// chunked body (read whole or in pieces, the same bytes come out), and the
// redirect rule on whatever Location the head names.
#include "net/httphead.h"
#include "net/addressrule.h"
#include <cstdlib>

namespace {

QByteArray decodeInPieces(QByteArrayView body, qsizetype piece, vidrona::ChunkedBody::State *state)
{
    vidrona::ChunkedBody chunks;
    QByteArray out;
    for (qsizetype at = 0; at < body.size(); at += piece)
        *state = chunks.feed(body.sliced(at, qMin(piece, body.size() - at)), out);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona;
    if (size < 1)
        return 0;
    const qsizetype piece = 1 + data[0] % 16;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
    HttpHead head;
    qsizetype used = 0;
    const HeadState state = readHttpHead(bytes, head, &used);
    if (state != HeadState::Complete)
        return 0;
    if (used > MaxHeadBytes || used > bytes.size() || head.status < 100 || head.fields.size() > MaxHeadLines)
        std::abort();
    const QUrl base(QStringLiteral("http://www.example.com/watch"));
    (void)isRedirectAllowed(base, QUrl(QString::fromLatin1(head.value("Location"))));
    ChunkedBody::State whole = ChunkedBody::More, pieces = ChunkedBody::More;
    const QByteArray a = decodeInPieces(bytes.sliced(used), bytes.size(), &whole);
    const QByteArray b = decodeInPieces(bytes.sliced(used), piece, &pieces);
    if (used < bytes.size() && (whole != pieces || a != b))
        std::abort();
    return 0;
}
