#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <optional>

namespace vidrona::net {

// The head of an HTTP answer.
struct HttpHead {
    int status = 0;
    QByteArray reason;
    QList<QPair<QByteArray, QByteArray>> fields;
    // The value of the first field called name (any case), or empty.
    QByteArray value(const QByteArray &name) const;
    bool has(const QByteArray &name) const;
};

// The Content-Length header as a 64-bit signed count (files past 2 GiB
// are common); nothing when it is missing, not a whole number, negative
// or too large.
std::optional<qint64> parseContentLength(const QByteArray &value);

// A Content-Range value "bytes S-E/T", numbers only, S <= E, and E < T
// when the total is known ("*": total -1).
struct ContentRange {
    qint64 start = 0;
    qint64 end = 0;
    qint64 total = -1;
};
std::optional<ContentRange> parseContentRange(const QByteArray &value);

// The one Range field of every request for a part of an answer:
// "Range: bytes=begin-(end - 1)", or "bytes=begin-" to its end when end < 0.
QByteArray rangeField(qint64 begin, qint64 end);

// One pair of bounds for the head of every answer: a head that goes on is
// hostile, and nothing may grow memory without end.
inline constexpr qsizetype MaxHeadBytes = 64 * 1024;
inline constexpr int MaxHeadLines = 100;
// "100 Continue" and the like before the real answer.
inline constexpr int MaxInterimAnswers = 10;

// Reads an answer's head line by line as the connection hands it over,
// interim answers (1xx) skipped, within the bounds above.
class HeadReader
{
public:
    enum State {
        More,     // the head goes on
        Complete, // head() is the final answer's head; lines after it are trailers
        Invalid,  // not an HTTP answer
        TooLarge, // past a bound
    };
    // line: one line as received, its line end included or not.
    State take(QByteArrayView line);
    State state() const { return m_state; }
    bool failed() const { return m_state == Invalid || m_state == TooLarge; }
    const HttpHead &head() const { return m_head; }

private:
    State startAnswer(const QByteArray &line);
    HttpHead m_head;
    State m_state = More;
    bool m_inHead = false; // a status line was read and its empty line not yet
    qsizetype m_bytes = 0;
    int m_lines = 0;
    int m_interim = 0;
};

} // namespace vidrona::net
