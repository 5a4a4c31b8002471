#include "httphead.h"
#include <QRegularExpression>

namespace vidrona::net {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "HTTP/x.y NNN reason", the reason may be empty; nothing looser.
bool readStatusLine(const QByteArray &line, HttpHead &head)
{
    if (line.size() < 12 || !line.startsWith("HTTP/") || !isDigit(line[5]) || line[6] != '.'
        || !isDigit(line[7]) || line[8] != ' ')
        return false;
    for (int i = 9; i < 12; ++i)
        if (!isDigit(line[i]))
            return false;
    if (line.size() > 12 && line[12] != ' ')
        return false;
    head.status = line.mid(9, 3).toInt();
    head.reason = line.mid(13).trimmed();
    return head.status >= 100;
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

HeadReader::State HeadReader::startAnswer(const QByteArray &line)
{
    m_head = HttpHead();
    if (!readStatusLine(line, m_head))
        return m_state = Invalid;
    m_inHead = true;
    return m_state = More;
}

HeadReader::State HeadReader::take(QByteArrayView raw)
{
    if (failed())
        return m_state;
    // Trailers after the body count against the same bounds.
    m_bytes += raw.size();
    if (m_bytes > MaxHeadBytes)
        return m_state = TooLarge;
    const QByteArray line = raw.toByteArray().trimmed();
    if (!m_inHead && m_state == More)
        return ++m_lines > MaxHeadLines ? m_state = TooLarge : startAnswer(line);
    if (!line.isEmpty()) {
        if (++m_lines > MaxHeadLines)
            return m_state = TooLarge;
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && m_state == More)
            m_head.fields.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        return m_state;
    }
    if (m_state == Complete)
        return m_state;
    m_inHead = false;
    if (m_head.status >= 200 || m_head.status == 101)
        return m_state = Complete;
    // An interim answer: the real one follows with a head of its own.
    m_bytes = 0;
    m_lines = 0;
    return ++m_interim > MaxInterimAnswers ? m_state = TooLarge : m_state;
}

std::optional<qint64> parseContentLength(const QByteArray &value)
{
    const QByteArray digits = value.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

std::optional<ContentRange> parseContentRange(const QByteArray &value)
{
    static const QRegularExpression form(QStringLiteral("^bytes (\\d{1,18})-(\\d{1,18})/(\\d{1,18}|\\*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(QString::fromLatin1(value.trimmed()));
    if (!m.hasMatch())
        return std::nullopt;
    const ContentRange r{m.captured(1).toLongLong(), m.captured(2).toLongLong(),
                         m.captured(3) == QLatin1String("*") ? -1 : m.captured(3).toLongLong()};
    if (r.start > r.end || (r.total >= 0 && r.end >= r.total))
        return std::nullopt;
    return r;
}

QByteArray rangeField(qint64 begin, qint64 end)
{
    return "Range: bytes=" + QByteArray::number(begin) + '-' + (end < 0 ? QByteArray() : QByteArray::number(end - 1));
}

} // namespace vidrona::net
