#include "keptbytes.h"
#include "net/httphead.h"
#include "desktop/platform.h"
#include <QFile>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>

namespace vidrona::kept {

namespace {
const QByteArray Magic = "vidrona kept bytes 1";
constexpr qint64 MaxRecordBytes = 64 << 10;

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

// "0-1048576,2097152-3145728": begin and end of each span; spans past
// length (bytes the file does not hold) are cut off.
QList<Span> parseSpans(const QByteArray &value, qint64 length)
{
    QList<Span> spans;
    for (const QByteArray &item : value.split(',')) {
        const int dash = item.indexOf('-');
        bool okBegin = false, okEnd = item.endsWith('-'); // "K-": up to the end
        const Span s{item.left(dash).toLongLong(&okBegin), okEnd ? length : item.mid(dash + 1).toLongLong(&okEnd)};
        if (dash > 0 && okBegin && okEnd && s.begin >= 0 && qMin(s.end, length) > s.begin)
            spans.append({s.begin, qMin(s.end, length)});
    }
    return merged(spans);
}

QByteArray spansText(const QList<Span> &spans, qint64 from)
{
    QByteArrayList items;
    for (const Span &s : spans)
        items.append(QByteArray::number(s.begin) + '-' + QByteArray::number(s.end));
    if (from >= 0)
        items.append(QByteArray::number(from) + '-');
    return items.join(',');
}
} // namespace

QList<Span> merged(QList<Span> spans)
{
    std::sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.begin < b.begin; });
    QList<Span> out;
    for (const Span &s : std::as_const(spans)) {
        if (!out.isEmpty() && s.begin <= out.last().end)
            out.last().end = qMax(out.last().end, s.end);
        else
            out.append(s);
    }
    return out;
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

// Both files are opened as plain files only, never through a link, and
// the record is read no further than its bound.
std::optional<Record> load(const QString &finalPath, qint64 *keptLength)
{
    QFile bytes, file;
    Record r;
    bool magic = false;
    bool totalRead = true;
    std::optional<QByteArray> spans; // none: a record of one connection
    if (platform::openKept(bytes, bytesPath(finalPath), QIODevice::ReadOnly)
        && platform::openKept(file, recordPath(finalPath), QIODevice::ReadOnly)) {
        const QByteArray text = file.read(MaxRecordBytes + 1);
        for (const QByteArray &line : text.size() > MaxRecordBytes ? QList<QByteArray>() : text.split('\n')) {
            const int blank = line.indexOf(' ');
            const QByteArray key = line.left(blank), value = blank < 0 ? QByteArray() : line.mid(blank + 1);
            if (line == Magic) magic = true;
            else if (key == "address") r.address = value;
            else if (key == "etag") r.etag = value;
            else if (key == "last-modified") r.lastModified = value;
            else if (key == "total") r.total = value.toLongLong(&totalRead);
            else if (key == "done") spans = value;
        }
    }
    const qint64 length = bytes.isOpen() ? bytes.size() : 0;
    file.close();
    bytes.close();
    r.done = spans ? parseSpans(*spans, length) : withSpan({}, {0, length});
    // Kept bytes longer than the whole file are not of the version the
    // record names.
    const bool fits = totalRead && r.total >= -1 && (r.total < 0 || length <= r.total);
    if (!magic || !fits || !r.hasValidator() || r.address.isEmpty() || r.done.isEmpty()) {
        remove(finalPath); // a link goes, never what it points to
        return std::nullopt;
    }
    *keptLength = length;
    return r;
}

bool save(const QString &finalPath, const Record &record)
{
    const QString path = recordPath(finalPath);
    // A new file of its own (made, never opened through a link), renamed
    // over the old record: a link there is replaced, never written through.
    QTemporaryFile file(path + QLatin1String("-XXXXXX"));
    if (!file.open())
        return false;
    QByteArray text = Magic + "\naddress " + record.address + '\n';
    text += record.etag.isEmpty() ? "last-modified " + record.lastModified : "etag " + record.etag;
    text += "\ntotal " + QByteArray::number(record.total) + '\n';
    text += "done " + spansText(record.done, record.doneFrom) + '\n';
    // A full disk shows at the flush, before the old record is replaced.
    bool ok = file.write(text) == text.size() && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError && platform::replaceFile(file.fileName(), path);
    if (ok)
        file.setAutoRemove(false);
    platform::markHidden(path);
    return ok;
}

void remove(const QString &finalPath)
{
    QFile::remove(bytesPath(finalPath));
    QFile::remove(recordPath(finalPath));
}

} // namespace vidrona::kept
