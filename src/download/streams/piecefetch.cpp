#include "piecefetch.h"
#include "aesstream.h"
#include "streamlimits.h"
#include "download/filewriter.h"
#include <QFile>
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
    bool ok = false;
    const qint64 n = head.value("Content-Length").trimmed().toLongLong(&ok);
    return head.has("Content-Length") && ok && n >= 0 ? n : -1;
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

// Writes one piece's body: the asked range of it when the server sends
// the whole file, decrypted when it is encrypted.
struct PieceReceiver : net::Receiver {
    const PieceRequest &request;
    FileWriter &writer;
    std::optional<AesStream> aes;
    net::Failure failure;
    qint64 skip = 0;       // bytes before the range (a 200 to a range request)
    qint64 wanted = -1;    // bytes of the body to keep; -1 all
    qint64 announced = -1; // of the part kept
    qint64 taken = 0;
    PieceReceiver(const PieceRequest &r, FileWriter &w) : request(r), writer(w)
    {
        if (!r.key.isEmpty())
            aes.emplace(r.key, r.iv);
    }
    bool head(const HttpHead &head, const QUrl &) override;
    bool body(const char *data, qsizetype length) override;
    bool write(const QByteArray &bytes);
    bool fail(net::Reason reason, const QString &why)
    {
        failure = net::fail(reason, why);
        return false;
    }
};

bool PieceReceiver::head(const HttpHead &head, const QUrl &)
{
    if (!isSuccess(head.status))
        return failure = statusFailure(head), false;
    const qint64 length = announcedLength(head);
    if (request.range.whole() || head.status == 206) {
        announced = request.range.whole() ? length : request.range.length;
        if (head.status == 206 && length >= 0 && length != request.range.length)
            return fail(net::Reason::AnswersDoNotAddUp, QStringLiteral("The server sent another part than asked"));
    } else { // the whole file: the range is cut out of it here
        skip = request.range.offset;
        wanted = announced = request.range.length;
        if (length >= 0 && length < skip + wanted)
            announced = qMax<qint64>(0, length - skip);
    }
    if (announced > MaxPieceBytes)
        return fail(net::Reason::TooLarge, QStringLiteral("A piece of this video is larger than 1 GB"));
    return true;
}

bool PieceReceiver::body(const char *data, qsizetype length)
{
    const qsizetype skipped = qsizetype(qMin<qint64>(skip, length));
    skip -= skipped;
    data += skipped;
    length -= skipped;
    if (wanted >= 0)
        length = qsizetype(qMin<qint64>(length, wanted - taken));
    if (length <= 0)
        return wanted < 0 || taken < wanted || skip > 0;
    taken += length;
    if (taken > MaxPieceBytes)
        return fail(net::Reason::TooLarge, QStringLiteral("A piece of this video is larger than 1 GB"));
    if (aes)
        return write(aes->feed(data, length)) && (wanted < 0 || taken < wanted);
    return write(QByteArray::fromRawData(data, length)) && (wanted < 0 || taken < wanted);
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
    if (out.tooLarge)
        out.failure = net::fail(net::Reason::TooLarge, QStringLiteral("%1 is larger than allowed").arg(what));
    else if (!out.failure.failed() && outcome.failure.failed())
        out.failure = outcome.failure;
    else if (!out.failure.failed() && !outcome.headIn)
        out.failure = net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came."));
    if (out.failure.failed() && out.failure.reason != net::Reason::Cancelled)
        out.failure.text += QStringLiteral(" for %1").arg(what);
    return out;
}

net::Failure fetchPiece(net::HttpClient &client, const PieceRequest &request, const QString &tempPath,
                        const QString &donePath, const std::atomic<bool> &cancel)
{
    FileWriter writer;
    if (!writer.open(tempPath, false))
        return writer.failure();
    PieceReceiver receiver(request, writer);
    if (receiver.aes && !receiver.aes->ok())
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("The key of a piece is not 16 bytes"));
    net::Request r;
    r.url = request.url;
    r.limited = true;
    r.idleMs = request.idleMs;
    if (!request.range.whole())
        r.fields << "Range: bytes=" + QByteArray::number(request.range.offset) + '-'
                        + QByteArray::number(request.range.offset + request.range.length - 1);
    const net::Outcome outcome = client.perform(r, receiver, cancel);
    if (receiver.failure.failed())
        return receiver.failure;
    if (outcome.failure.failed())
        return outcome.failure;
    if (!outcome.headIn)
        return net::fail(net::Reason::BrokenAnswer, QStringLiteral("No answer came"));
    if (receiver.announced >= 0 && receiver.taken != receiver.announced)
        return net::fail(net::Reason::BrokeOff, QStringLiteral("The piece ended after %1 of %2 bytes")
                                                    .arg(receiver.taken).arg(receiver.announced));
    QByteArray last;
    if (receiver.aes && (!receiver.aes->finish(&last) || !receiver.write(last)))
        return receiver.failure.failed() ? receiver.failure
                                         : net::fail(net::Reason::BrokenAnswer,
                                                     QStringLiteral("The piece cannot be decrypted with its key"));
    QFile::remove(donePath); // a piece of an earlier run that the record does not count
    QString placed;
    if (!writer.commitTo(donePath, {}, &placed))
        return writer.failure();
    if (placed != donePath)
        return net::fail(net::Reason::WriteFailed, QStringLiteral("The piece could not be put in place"));
    return {};
}

} // namespace vidrona::streams
