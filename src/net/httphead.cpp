#include "httphead.h"

namespace vidrona {

namespace {

constexpr qsizetype MaxChunkLine = 1024;

// Where the head ends (after its empty line), or -1.
qsizetype headEnd(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n')
            continue;
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
            return i + 2;
        if (i + 2 < bytes.size() && bytes[i + 1] == '\r' && bytes[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

bool readStatusLine(const QByteArray &line, HttpHead &head)
{
    if (!line.startsWith("HTTP/1.") || line.size() < 12 || line[8] != ' ')
        return false;
    bool ok = false;
    head.status = line.mid(9, 3).toInt(&ok);
    if (!ok || head.status < 100 || head.status > 999 || (line.size() > 12 && line[12] != ' '))
        return false;
    head.reason = line.mid(13).trimmed();
    return true;
}

} // namespace

QByteArray HttpHead::value(const QByteArray &name) const
{
    for (const auto &f : fields)
        if (f.first.compare(name, Qt::CaseInsensitive) == 0)
            return f.second;
    return {};
}

bool HttpHead::has(const QByteArray &name) const
{
    for (const auto &f : fields)
        if (f.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

HeadState readHttpHead(QByteArrayView bytes, HttpHead &head, qsizetype *used)
{
    const qsizetype end = headEnd(bytes.first(qMin(bytes.size(), MaxHeadBytes)));
    if (end < 0)
        return bytes.size() >= MaxHeadBytes ? HeadState::Invalid : HeadState::Incomplete;
    const QList<QByteArray> lines = bytes.first(end).toByteArray().split('\n');
    // The last two pieces are the empty line and what follows its line end.
    if (lines.size() - 2 > MaxHeadLines)
        return HeadState::Invalid;
    head = HttpHead();
    if (!readStatusLine(lines.value(0).trimmed(), head))
        return HeadState::Invalid;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            head.fields.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    *used = end;
    return HeadState::Complete;
}

bool ChunkedBody::takeLine(QByteArrayView in, qsizetype &pos, QByteArray &line)
{
    const qsizetype nl = in.indexOf('\n', pos);
    const qsizetype stop = nl < 0 ? in.size() : nl;
    m_line += in.sliced(pos, stop - pos);
    pos = nl < 0 ? in.size() : nl + 1;
    if (m_line.size() > MaxChunkLine)
        m_state = Invalid;
    if (nl < 0 || m_state == Invalid)
        return false;
    line = m_line.trimmed();
    m_line.clear();
    return true;
}

void ChunkedBody::onSizeLine(const QByteArray &line)
{
    const qsizetype semicolon = line.indexOf(';');
    const QByteArray digits = (semicolon < 0 ? line : line.left(semicolon)).trimmed();
    bool ok = false;
    m_left = digits.size() <= 15 ? digits.toLongLong(&ok, 16) : -1;
    if (!ok || m_left < 0)
        m_state = Invalid;
    else
        m_part = m_left == 0 ? Trailer : Data;
}

void ChunkedBody::onTrailerLine(const QByteArray &line)
{
    if (line.isEmpty())
        m_state = Done;
    else if (++m_trailerLines > MaxHeadLines)
        m_state = Invalid;
}

ChunkedBody::State ChunkedBody::feed(QByteArrayView in, QByteArray &out)
{
    qsizetype pos = 0;
    QByteArray line;
    while (m_state == More && pos < in.size()) {
        if (m_part == Data) {
            const qsizetype n = qsizetype(qMin<qint64>(m_left, in.size() - pos));
            out += in.sliced(pos, n);
            pos += n;
            m_left -= n;
            if (m_left == 0)
                m_part = DataEnd;
        } else if (takeLine(in, pos, line)) {
            if (m_part == Size)
                onSizeLine(line);
            else if (m_part == DataEnd)
                line.isEmpty() ? void(m_part = Size) : void(m_state = Invalid);
            else
                onTrailerLine(line);
        }
    }
    return m_state;
}

} // namespace vidrona
