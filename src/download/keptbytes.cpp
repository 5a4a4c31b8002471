#include "keptbytes.h"
#include "net/httphead.h"
#include "filewriter.h"
#include "platform/platform.h"
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace vidrona::download::kept {

using net::ContentRange;
using net::parseContentRange;

namespace {

// "bytes S-E/T" with a known total.
bool knownRange(const QByteArray &value, qint64 *start, qint64 *end, qint64 *total)
{
    const std::optional<ContentRange> r = parseContentRange(value);
    if (!r || r->total < 0)
        return false;
    *start = r->start;
    *end = r->end;
    *total = r->total;
    return true;
}

bool isWeak(const QByteArray &etag)
{
    return etag.startsWith("W/") || etag.startsWith("w/");
}

// spans cut to the bytes the file holds.
QList<Span> clamped(const QList<Span> &spans, qint64 length)
{
    QList<Span> out;
    for (const Span &s : spans)
        if (s.begin < length)
            out.append({s.begin, qMin(s.end, length)});
    return out;
}
} // namespace

QList<Span> merged(QList<Span> spans)
{
    return engine::mergedSpans(std::move(spans));
}

QList<Span> withSpan(QList<Span> spans, Span span)
{
    if (span.size() > 0)
        spans.append(span);
    return merged(spans);
}

qint64 firstMissing(const QList<Span> &done)
{
    return !done.isEmpty() && done.first().begin == 0 ? done.first().end : 0;
}

bool sameVersion(const Record &record, const AnswerHead &head)
{
    return record.etag.isEmpty() ? !head.lastModified.isEmpty() && head.lastModified == record.lastModified
                                 : head.etag == record.etag;
}

bool answersPart(const Record &record, Span part, const AnswerHead &head)
{
    qint64 start = 0, end = 0, total = 0;
    if (head.status != 206 || head.address != record.address
        || !knownRange(head.contentRange, &start, &end, &total))
        return false;
    if (start != part.begin || end != part.end - 1 || total != record.total)
        return false;
    return (head.contentLength < 0 || head.contentLength == part.size()) && sameVersion(record, head);
}

bool isKeptName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".part"), Qt::CaseInsensitive)
           || fileName.endsWith(QLatin1String(".partinfo"), Qt::CaseInsensitive)
           || fileName.endsWith(QLatin1String(".pieces"), Qt::CaseInsensitive);
}

QString bytesPath(const QString &finalPath)
{
    return finalPath + QLatin1String(".part");
}

QString recordPath(const QString &finalPath)
{
    return finalPath + QLatin1String(".partinfo");
}

std::optional<Record> recordFor(const AnswerHead &head)
{
    Record r;
    r.address = head.address;
    r.total = head.contentLength;
    if (!head.etag.isEmpty() && !isWeak(head.etag))
        r.etag = head.etag;
    else if (!head.lastModified.isEmpty())
        r.lastModified = head.lastModified;
    if (!r.hasValidator() || r.address.isEmpty())
        return std::nullopt;
    return r;
}

bool continues(const Record &record, qint64 kept, const AnswerHead &head, qint64 *fullLength)
{
    qint64 start = 0, end = 0, total = 0;
    if (head.status != 206 || kept < 0 || head.address != record.address
        || !knownRange(head.contentRange, &start, &end, &total))
        return false;
    if (start != kept || end != total - 1 || (record.total >= 0 && total != record.total))
        return false;
    if (head.contentLength >= 0 && head.contentLength != end - start + 1)
        return false;
    *fullLength = total;
    // The part answer must name the same version, not merely not deny it.
    return sameVersion(record, head);
}

// The kept bytes are opened as a plain file only, never through a link;
// the record is read by the one reader of records (engine/record.h).
std::optional<Record> load(const QString &finalPath, qint64 *keptLength)
{
    QFile bytes;
    std::optional<Record> r;
    if (platform::openKept(bytes, bytesPath(finalPath), QIODevice::ReadOnly))
        r = engine::readRecord(recordPath(finalPath));
    const qint64 length = bytes.isOpen() ? bytes.size() : 0;
    bytes.close();
    if (r) {
        r->done = clamped(r->done, length);
        if (r->doneFrom >= 0)
            r->done = withSpan(r->done, {r->doneFrom, length});
        r->doneFrom = -1;
    }
    // Kept bytes longer than the whole file are not of the version the
    // record names.
    if (!r || r->kind != Record::Kind::File || (r->total >= 0 && length > r->total) || r->done.isEmpty()) {
        remove(finalPath); // a link goes, never what it points to
        return std::nullopt;
    }
    *keptLength = length;
    return r;
}

bool save(const QString &finalPath, const Record &record)
{
    Record r = record;
    r.kind = Record::Kind::File;
    const bool ok = engine::writeRecord(recordPath(finalPath), r);
    platform::markHidden(recordPath(finalPath));
    return ok;
}

bool saveDurably(const QString &finalPath, const Record &record, FileWriter &bytes)
{
    return bytes.syncData() && save(finalPath, record);
}

void remove(const QString &finalPath)
{
    QFile::remove(bytesPath(finalPath));
    QFile::remove(recordPath(finalPath));
}

} // namespace vidrona::download::kept
