#pragma once
#include "piecescheduler.h"
#include "engine/record.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The bytes of an interrupted fetch, kept beside the file they will become:
//   <name>.part      the first bytes of the answer, exactly as received
//   <name>.partinfo  where they came from: the answer's address, its
//                    validator (ETag, else Last-Modified), full length and
//                    which spans of the bytes arrived (several connections
//                    fill a file in parts); a record without spans comes
//                    from one connection: all bytes of the .part arrived
// A streamed video keeps its pieces in a folder ".<name>.pieces" instead
// (streams/piecefolder.h).
// No final name may end in ".part", ".partinfo" or ".pieces" (isKeptName), so neither
// file can ever be taken by a download, nor one row's kept bytes by
// another row's record. Bytes without a readable record are never used.
namespace vidrona::download {
class FileWriter;
}

namespace vidrona::download::kept {

// True for the names reserved above, compared without case.
bool isKeptName(const QString &fileName);

QString bytesPath(const QString &finalPath);
QString recordPath(const QString &finalPath);

// One record format for every kind of fetch (engine/record.h); here only
// its kind File.
using Record = engine::FetchRecord;

// The head of an answer, as far as resuming cares.
struct AnswerHead {
    int status = 0;
    QByteArray address;
    QByteArray etag;
    QByteArray lastModified;
    QByteArray contentRange;
    qint64 contentLength = -1;
};

// The record an answer with status 200 leaves for its bytes; without a
// usable validator (none, or only a weak ETag without Last-Modified) the
// bytes cannot be resumed and no record is written.
std::optional<Record> recordFor(const AnswerHead &head);

// True when head (the answer to a request for the bytes from kept on, with
// If-Range) continues exactly the bytes that record describes: a 206 from
// the same address whose Content-Range starts at kept and whose validator
// and full length match. Anything else means starting over. fullLength
// receives the full length the answer names.
bool continues(const Record &record, qint64 kept, const AnswerHead &head, qint64 *fullLength);

// True when head answers a request for exactly the bytes of part (a
// bounded range, with If-Range) of the version record describes: a 206 from
// the same address whose Content-Range names exactly that part and the
// record's full length, with the record's validator.
bool answersPart(const Record &record, Span part, const AnswerHead &head);
// True when head names the version record describes (same validator).
bool sameVersion(const Record &record, const AnswerHead &head);

// spans merged and in order.
QList<Span> merged(QList<Span> spans);
// spans with span added, merged and in order.
QList<Span> withSpan(QList<Span> spans, Span span);
// Where the first missing byte is: the end of the span that starts at 0.
qint64 firstMissing(const QList<Span> &done);

// The record beside finalPath and the length of its bytes, when both are
// there and readable; otherwise both files are removed and nothing is
// returned.
std::optional<Record> load(const QString &finalPath, qint64 *keptLength);
// Replaces the record in one durable step (platform::writeFileSafely), so
// a crash leaves either the old or the new one. The bytes it names must be
// durable already (see saveDurably).
bool save(const QString &finalPath, const Record &record);
// Makes the kept bytes durable, then saves the record that names them: no
// record ever names bytes a crash could take back.
bool saveDurably(const QString &finalPath, const Record &record, FileWriter &bytes);
// Removes the kept bytes and their record.
void remove(const QString &finalPath);

} // namespace vidrona::download::kept
