#include "piecefetch.h"
#include "aesstream.h"
#include "streamlimits.h"
#include "download/filewriter.h"
#include "platform/platform.h"
#include <QFile>
#include <algorithm>
#include <optional>

namespace vidrona::streams {

namespace {

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

net::Failure statusFailure(const HttpHead &head)
{
    net::Failure f = net::fail(net::Reason::HttpError, answeredText(head.status, head.reason));
    f.status = head.status;
    bool seconds = false;
    const int retryAfter = head.value("Retry-After").trimmed().toInt(&seconds);
    f.retryAfterSeconds = seconds && retryAfter >= 0 ? retryAfter : -1;
    return f;
}

qint64 announcedLength(const HttpHead &head)
{
    return parseContentLength(head.value("Content-Length")).value_or(-1);
}

struct SmallReceiver : net::Receiver {
    SmallBody &out;
    qsizetype maxBytes;
    SmallReceiver(SmallBody &o, qsizetype m) : out(o), maxBytes(m) {}
    bool head(const HttpHead &head, const QUrl &) override
    {
        if (!isSuccess(head.status))
            return out.failure = statusFailure(head), false;
        if (announcedLength(head) > maxBytes)
            return out.tooLarge = true, false;
        return true;
    }
    bool body(const char *data, qsizetype length) override
    {
        if (out.bytes.size() + length > maxBytes)
            return out.tooLarge = true, false;
        out.bytes.append(data, length);
        return true;
    }
};

// Writes one part of a piece's body: the asked range of it when the server
// sends the whole file, decrypted when it is encrypted, never past the
// part's end (another connection may take over its tail meanwhile).
struct PieceReceiver : net::Receiver {
    const PieceRequest &request;
    Flight &flight;
    int part;
    FileWriter &writer;
    std::optional<AesStream> aes;
    net::Failure failure;
    qint64 skip = 0;    // bytes before the range (a 200 to a range request)
    qint64 taken = 0;   // bytes of the body counted
    PieceReceiver(const PieceRequest &r, Flight &f, int p, FileWriter &w) : request(r), flight(f), part(p), writer(w)
    {
        if (!r.key.isEmpty())
            aes.emplace(r.key, r.iv);
    }
    bool head(const HttpHead &head, const QUrl &) override;
    bool firstHead(const HttpHead &head);
    bool body(const char *data, qsizetype length) override;
    bool write(const QByteArray &bytes);
    bool fail(net::Reason reason, const QString &why)
    {
        failure = net::fail(reason, why);
        return false;
    }
};

// A 206 whose Content-Range starts at from.
bool startsAt(const HttpHead &head, qint64 from)
{
    const std::optional<ContentRange> range = parseContentRange(head.value("Content-Range"));
    return head.status == 206 && range && range->start == from;
}

// The answer for the first part says how long the piece is.
bool PieceReceiver::firstHead(const HttpHead &head)
{
    const qint64 length = announcedLength(head);
    qint64 size = length;
    if (!request.range.whole() && head.status != 206) { // the whole file: the range is cut out of it here
        skip = request.range.offset;
        size = length >= 0 ? qMin(length - skip, request.range.length) : request.range.length;
        if (size < request.range.length) // a file that ends before the range does: the piece would be short
            return fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The server sent another part than asked"));
    } else if (!request.range.whole()) {
        if ((length >= 0 && length != request.range.length) || !startsAt(head, request.range.offset))
            return fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The server sent another part than asked"));
        size = request.range.length; // without a length said, no more than asked either
    }
    if (size > MaxPieceBytes)
        return fail(net::Reason::TooLarge, QStringLiteral("A piece of this video is larger than 1 GB"));
    const bool ranges = head.status == 206 || head.value("Accept-Ranges").toLower().contains("bytes");
    flight.start(size, request.range.whole() ? 0 : request.range.offset, ranges && skip == 0 && !aes);
    return true;
}

bool PieceReceiver::head(const HttpHead &head, const QUrl &)
{
    if (!isSuccess(head.status))
        return failure = statusFailure(head), false;
    if (part == 0)
        return firstHead(head);
    if (!startsAt(head, flight.base() + flight.part(part).begin))
        return fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The server sent another part than asked"));
    return true;
}

bool PieceReceiver::body(const char *data, qsizetype length)
{
    const qsizetype skipped = qsizetype(qMin<qint64>(skip, length));
    skip -= skipped;
    data += skipped;
    length -= skipped;
    if (length <= 0)
        return true;
    const qsizetype allowed = qsizetype(flight.reserve(part, length));
    taken += allowed;
    if (taken > MaxPieceBytes)
        return fail(net::Reason::TooLarge, QStringLiteral("A piece of this video is larger than 1 GB"));
    const bool written = aes ? write(aes->feed(data, allowed)) : write(QByteArray::fromRawData(data, allowed));
    return written && allowed == length; // at the part's end: the rest is not this part's
}

bool PieceReceiver::write(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (!writer.write(bytes.constData(), bytes.size()))
        return failure = writer.failure(), false;
    if (request.written)
        request.written(bytes.size());
    return true;
}

// Appends the file at from to writer, through a bounded buffer.
bool append(FileWriter &writer, const QString &from)
{
    QFile file;
    if (!platform::openKept(file, from, QIODevice::ReadOnly))
        return false;
    QByteArray buffer(64 << 10, Qt::Uninitialized);
    for (qint64 n; (n = file.read(buffer.data(), buffer.size())) > 0;)
        if (!writer.write(buffer.constData(), n))
            return false;
    return file.error() == QFileDevice::NoError;
}

} // namespace

QString answeredText(int status, const QByteArray &reason)
{
    return QStringLiteral("The server answered %1 %2").arg(status).arg(QString::fromLatin1(reason)).trimmed();
}

SmallBody fetchSmall(net::HttpClient &client, const QUrl &url, qsizetype maxBytes, bool userNamed,
                     const QString &what, int idleMs, const std::atomic<bool> &cancel)
{
    SmallBody out;
    SmallReceiver receiver(out, maxBytes);
    net::Request request;
    request.url = url;
    request.userNamed = userNamed;
    request.idleMs = idleMs;
    const net::Outcome outcome = client.perform(request, receiver, cancel);
    if (out.tooLarge) {
        out.failure = net::fail(net::Reason::TooLarge, QStringLiteral("%1 is larger than allowed").arg(what));
        out.failure.text[0] = out.failure.text[0].toUpper();
    } else if (!out.failure.failed() && outcome.failure.failed()) {
        out.failure = outcome.failure;
    } else if (!out.failure.failed() && !outcome.headIn) {
        out.failure = net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    }
    if (out.failure.failed() && !out.tooLarge && out.failure.reason != net::Reason::Cancelled)
        out.failure.text += QStringLiteral(" for %1").arg(what);
    return out;
}

QString partPath(const QString &firstPath, int n)
{
    return n == 0 ? firstPath : firstPath + QLatin1Char('.') + QString::number(n);
}

net::Failure fetchPart(net::HttpClient &client, const PieceRequest &request, Flight &flight, int n,
                       const QString &path, const std::atomic<bool> &cancel)
{
    FileWriter writer;
    if (!writer.open(path, false))
        return writer.failure();
    PieceReceiver receiver(request, flight, n, writer);
    if (receiver.aes && !receiver.aes->ok())
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("The key of a piece is not 16 bytes"));
    net::Request r;
    r.url = request.url;
    r.limited = true;
    r.userNamed = request.trusted;
    r.idleMs = request.idleMs;
    const Flight::Share part = flight.part(n);
    const qint64 from = n == 0 ? request.range.offset : flight.base() + part.begin;
    if (n > 0 || !request.range.whole())
        r.fields << rangeField(from, from + (n > 0 ? part.end - part.begin : request.range.length));
    const net::Outcome outcome = client.perform(r, receiver, cancel);
    if (receiver.failure.failed())
        return receiver.failure;
    if (outcome.failure.failed())
        return outcome.failure;
    if (!outcome.headIn)
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    const Flight::Share done = flight.part(n);
    if (done.end >= 0 && receiver.taken != done.end - done.begin)
        return net::fail(net::Reason::BrokeOff, QStringLiteral("The piece ended after %1 of %2 bytes")
                                                    .arg(done.begin + receiver.taken).arg(flight.size()));
    QByteArray last;
    if (receiver.aes && (!receiver.aes->finish(&last) || !receiver.write(last)))
        return receiver.failure.failed() ? receiver.failure
                                         : net::fail(net::Reason::BrokenAnswer,
                                                     QStringLiteral("The piece cannot be decrypted with its key"));
    return {};
}

net::Failure completePiece(const Flight &flight, const QString &firstPath, const QString &donePath)
{
    FileWriter writer;
    if (!writer.open(firstPath, true))
        return writer.failure();
    QList<Flight::Share> parts = flight.parts();
    QList<int> order; // the other parts by where they begin
    for (int n = 1; n < parts.size(); ++n)
        order << n;
    std::sort(order.begin(), order.end(), [&](int a, int b) { return parts[a].begin < parts[b].begin; });
    for (int n : order)
        if (!append(writer, partPath(firstPath, n)))
            return writer.failure().failed() ? writer.failure()
                                             : net::fail(net::Reason::WriteFailed, QStringLiteral("A part of a piece is gone"));
    if (flight.size() >= 0 && writer.size() != flight.size() && parts.size() > 1)
        return net::fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The parts of a piece do not add up"));
    QFile::remove(donePath); // a piece of an earlier run that the record does not count
    QString placed;
    if (!writer.commitTo(donePath, {}, &placed))
        return writer.failure();
    if (placed != donePath)
        return net::fail(net::Reason::WriteFailed, QStringLiteral("The piece could not be put in place"));
    for (int n : order)
        QFile::remove(partPath(firstPath, n));
    return {};
}

} // namespace vidrona::streams
