#include "record.h"
#include "platform/safefile.h"
#include <algorithm>

namespace vidrona::download::engine {

namespace {

const QByteArray Magic = "vidrona record 2";
const QByteArray LegacyFileMagic = "vidrona kept bytes 1";
const QByteArray LegacyPiecesMagic = "vidrona stream pieces 1";

// "0-10,20-30,40-" (today's and the kept bytes' records) or " 0-10 20-30"
// (the pieces' record of earlier versions). Only "K-" may be open: it
// becomes doneFrom.
void readSpans(const QByteArray &value, FetchRecord &r)
{
    QList<Span> spans;
    for (const QByteArray &item : value.simplified().replace(' ', ',').split(',')) {
        const int dash = item.indexOf('-');
        bool okBegin = false, okEnd = false;
        const qint64 begin = item.left(dash).toLongLong(&okBegin);
        if (dash <= 0 || !okBegin || begin < 0)
            continue;
        if (dash == item.size() - 1) {
            r.doneFrom = begin;
            continue;
        }
        const qint64 end = item.mid(dash + 1).toLongLong(&okEnd);
        if (okEnd && end > begin)
            spans.append({begin, end});
    }
    r.done = mergedSpans(spans);
}

// A stream's spans name pieces that exist: none past its count.
void cutToPieces(FetchRecord &r)
{
    QList<Span> cut;
    for (const Span &s : std::as_const(r.done))
        if (s.begin < r.pieces)
            cut.append({s.begin, qMin<qint64>(s.end, r.pieces)});
    r.done = cut;
    r.doneFrom = -1;
    // A place is only worth keeping for a piece that is named done.
    QMap<int, Span> places;
    for (auto it = r.places.cbegin(); it != r.places.cend(); ++it)
        if (std::any_of(cut.cbegin(), cut.cend(), [n = it.key()](const Span &s) { return n >= s.begin && n < s.end; }))
            places.insert(it.key(), it.value());
    r.places = places;
}

// "0:0+1316,1:1316+988": where pieces lie in the kept file.
QMap<int, Span> readPlaces(const QByteArray &value)
{
    QMap<int, Span> places;
    for (const QByteArray &item : value.split(',')) {
        const int colon = item.indexOf(':'), plus = item.indexOf('+');
        if (colon <= 0 || plus <= colon)
            continue;
        bool okPiece = false, okOffset = false, okLength = false;
        const int piece = item.left(colon).toInt(&okPiece);
        const qint64 offset = item.mid(colon + 1, plus - colon - 1).toLongLong(&okOffset);
        const qint64 length = item.mid(plus + 1).toLongLong(&okLength);
        if (okPiece && okOffset && okLength && piece >= 0 && offset >= 0 && length >= 0)
            places.insert(piece, {offset, offset + length});
    }
    return places;
}

QByteArray placesText(const QMap<int, Span> &places)
{
    QByteArray text = "places ";
    for (auto it = places.cbegin(); it != places.cend(); ++it)
        text += QByteArray::number(it.key()) + ':' + QByteArray::number(it.value().begin) + '+'
                + QByteArray::number(it.value().size()) + ',';
    text.chop(1);
    return text + '\n';
}

bool complete(const FetchRecord &r, bool totalRead)
{
    if (r.address.isEmpty())
        return false;
    if (r.kind == FetchRecord::Kind::Pieces)
        return !r.digest.isEmpty() && r.pieces > 0;
    if (r.kind == FetchRecord::Kind::Formats)
        return !r.formats.isEmpty();
    return totalRead && r.total >= -1 && r.hasValidator();
}

QByteArray spanItem(const Span &s)
{
    return QByteArray::number(s.begin) + '-' + QByteArray::number(s.end);
}

bool oneLine(const QByteArray &value)
{
    return !value.contains('\n') && !value.contains('\r');
}

std::optional<FetchRecord::Kind> kindOf(const QByteArray &word)
{
    if (word == "file")
        return FetchRecord::Kind::File;
    if (word == "pieces")
        return FetchRecord::Kind::Pieces;
    if (word == "formats")
        return FetchRecord::Kind::Formats;
    return std::nullopt;
}

// A record of chosen formats: what was chosen, for which page and choice.
QByteArray formatsText(const FetchRecord &record)
{
    if (!oneLine(record.formats))
        return {};
    const QByteArray text = Magic + "\nkind formats\naddress " + record.address + '\n'
                            + (record.quality.isEmpty() ? QByteArray() : "quality " + record.quality + '\n')
                            + "formats " + record.formats + '\n';
    return text.size() <= MaxFormatsRecordBytes ? text : QByteArray();
}

} // namespace

QList<Span> mergedSpans(QList<Span> spans)
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

std::optional<FetchRecord> parseRecord(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    const QByteArray magic = lines.value(0);
    if (magic != Magic && magic != LegacyFileMagic && magic != LegacyPiecesMagic)
        return std::nullopt;
    FetchRecord r;
    r.kind = magic == LegacyPiecesMagic ? FetchRecord::Kind::Pieces : FetchRecord::Kind::File;
    bool totalRead = true, kindRead = magic != Magic, doneRead = false;
    for (const QByteArray &line : lines.mid(1)) {
        const int blank = line.indexOf(' ');
        const QByteArray key = line.left(blank), value = blank < 0 ? QByteArray() : line.mid(blank + 1);
        if (key == "kind" && magic == Magic && kindOf(value)) {
            r.kind = *kindOf(value);
            kindRead = true;
        }
        else if (key == "address") r.address = value;
        else if (key == "etag") r.etag = value;
        else if (key == "last-modified") r.lastModified = value;
        else if (key == "total") r.total = value.toLongLong(&totalRead);
        else if (key == "digest") r.digest = value;
        else if (key == "pieces") r.pieces = value.toInt();
        else if (key == "quality") r.quality = value;
        else if (key == "subtitles") r.subtitles = value;
        else if (key == "done") readSpans(value, r), doneRead = true;
        else if (key == "places") r.places = readPlaces(value);
        else if (key == "formats") r.formats = value;
    }
    // The kept bytes' records of one connection once had no spans at all:
    // every byte of the kept bytes arrived.
    if (magic == LegacyFileMagic && !doneRead)
        r.doneFrom = 0;
    if (r.kind == FetchRecord::Kind::Pieces)
        cutToPieces(r);
    if (r.kind == FetchRecord::Kind::Formats) // names formats, never bytes
        r.done.clear(), r.doneFrom = -1;
    if (!kindRead || !complete(r, totalRead))
        return std::nullopt;
    return r;
}

QByteArray recordText(const FetchRecord &record)
{
    if (record.kind == FetchRecord::Kind::Formats)
        return oneLine(record.address) && oneLine(record.quality) ? formatsText(record) : QByteArray();
    const bool pieces = record.kind == FetchRecord::Kind::Pieces;
    for (const QByteArray &value : {record.address, record.etag, record.lastModified, record.digest, record.quality,
                                    record.subtitles})
        if (!oneLine(value))
            return {};
    QByteArray text = Magic + (pieces ? "\nkind pieces" : "\nkind file") + "\naddress " + record.address + '\n';
    if (pieces)
        text += "digest " + record.digest + "\npieces " + QByteArray::number(record.pieces) + '\n'
                + (record.quality.isEmpty() ? QByteArray() : "quality " + record.quality + '\n')
                + (record.subtitles.isEmpty() ? QByteArray() : "subtitles " + record.subtitles + '\n')
                + (record.places.isEmpty() ? QByteArray() : placesText(record.places));
    else
        text += (record.etag.isEmpty() ? "last-modified " + record.lastModified : "etag " + record.etag)
                + "\ntotal " + QByteArray::number(record.total) + '\n';
    // The spans that fit within the bound; those left out are fetched again.
    const QByteArray open = !pieces && record.doneFrom >= 0 ? ',' + QByteArray::number(record.doneFrom) + '-'
                                                             : QByteArray();
    QByteArray done = "done ";
    for (const Span &s : record.done) {
        const QByteArray item = spanItem(s);
        if (text.size() + done.size() + item.size() + open.size() + 2 > (pieces ? MaxPiecesRecordBytes : MaxRecordBytes))
            break;
        done += item + ',';
    }
    if (done.endsWith(','))
        done.chop(1);
    done += done.size() > 5 ? open : open.mid(1);
    return text + done + '\n';
}

std::optional<FetchRecord> readRecord(const QString &path)
{
    const platform::SmallFile file = platform::readSmallFile(path, MaxFormatsRecordBytes);
    if (!file.ok())
        return std::nullopt;
    std::optional<FetchRecord> r = parseRecord(file.bytes);
    // No record grows past its own kind's bound.
    if (r && r->kind == FetchRecord::Kind::File && file.bytes.size() > MaxRecordBytes)
        return std::nullopt;
    if (r && r->kind == FetchRecord::Kind::Pieces && file.bytes.size() > MaxPiecesRecordBytes)
        return std::nullopt;
    return r;
}

bool writeRecord(const QString &path, const FetchRecord &record, QString *error, platform::FileFault *fault)
{
    const QByteArray text = recordText(record);
    if (text.isEmpty()) {
        if (error)
            error->clear(); // nothing was written: no system's words to give
        return false;
    }
    return platform::writeFileSafely(path, text, error, fault);
}

} // namespace vidrona::download::engine
