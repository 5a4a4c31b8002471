// The reading of an answer's head as the connection hands it over line by
// line: within its bounds whatever arrives, and the redirect rule on
// whatever Location the head names, and the Content-Range it gives.
#include "net/httphead.h"
#include "net/addressrule.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona;
    using namespace vidrona::net;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    HeadReader reader;
    qsizetype at = 0;
    qsizetype taken = 0;
    while (at < bytes.size() && !reader.failed()) {
        const qsizetype nl = bytes.indexOf('\n', at);
        const qsizetype end = nl < 0 ? bytes.size() : nl + 1;
        reader.take(bytes.sliced(at, end - at));
        taken += end - at;
        at = end;
    }
    if (reader.state() != HeadReader::Complete)
        return 0;
    const HttpHead &head = reader.head();
    if (head.status < 100 || head.status > 999 || head.fields.size() >= MaxHeadLines
        || taken > (MaxInterimAnswers + 1) * MaxHeadBytes + MaxHeadBytes)
        std::abort();
    const QUrl base(QStringLiteral("http://www.example.com/watch"));
    (void)isRedirectAllowed(base, QUrl(QString::fromLatin1(head.value("Location"))));
    // A range handed on is one a fetch can write: in order, inside its total.
    if (const std::optional<ContentRange> r = parseContentRange(head.value("Content-Range")))
        if (r->start < 0 || r->start > r->end || (r->total >= 0 && r->end >= r->total))
            std::abort();
    return 0;
}
