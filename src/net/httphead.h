#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

namespace vidrona {

// The head of an HTTP answer, read from raw bytes with bounds on its size
// and its number of lines, so that no answer can grow it without end.
struct HttpHead {
    int status = 0;
    QByteArray reason;
    QList<QPair<QByteArray, QByteArray>> fields;
    // The value of the first field called name (any case), or empty.
    QByteArray value(const QByteArray &name) const;
    bool has(const QByteArray &name) const;
};

inline constexpr qsizetype MaxHeadBytes = 64 * 1024;
inline constexpr int MaxHeadLines = 100;

enum class HeadState { Incomplete, Complete, Invalid };

// Reads the head at the start of bytes. Complete: head is filled and *used
// is the head's length (the body starts there). Incomplete: more bytes are
// needed, and bytes are still within the bounds. Invalid: not an HTTP
// answer, or past the bounds.
HeadState readHttpHead(QByteArrayView bytes, HttpHead &head, qsizetype *used);

// Decodes a body sent in chunks, piece by piece as it arrives. Each size
// line and the trailer are bounded.
class ChunkedBody
{
public:
    enum State { More, Done, Invalid };
    // Appends the data carried by in to out; once Done, the rest is ignored.
    State feed(QByteArrayView in, QByteArray &out);
    State state() const { return m_state; }

private:
    bool takeLine(QByteArrayView in, qsizetype &pos, QByteArray &line);
    void onSizeLine(const QByteArray &line);
    void onTrailerLine(const QByteArray &line);

    enum Part { Size, Data, DataEnd, Trailer };
    Part m_part = Size;
    State m_state = More;
    QByteArray m_line;
    qint64 m_left = 0;
    int m_trailerLines = 0;
};

} // namespace vidrona
