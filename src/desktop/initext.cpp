#include "initext.h"

namespace vidrona::desktop {

namespace {

const QByteArray General = "General";

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The section a line opens ("[General]": General); empty for other lines.
QByteArray sectionOf(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return t.size() >= 2 && t.startsWith('[') && t.endsWith(']') ? t.mid(1, t.size() - 2).trimmed() : QByteArray();
}

// The key of a key=value line; empty for blank lines and comments.
QByteArray keyOf(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    const qsizetype eq = t.indexOf('=');
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#') || eq <= 0)
        return {};
    return t.left(eq).trimmed();
}

char unescapedChar(char e)
{
    switch (e) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'v': return '\v';
    default: return e; // \" \\ \; \, and the like stand for themselves
    }
}

// Qt marks a few kinds of value with "@": "@@" is a text starting with "@".
QString withoutMarks(const QString &text)
{
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    if (text.startsWith(QLatin1String("@String(")) && text.endsWith(QLatin1Char(')')))
        return text.mid(8, text.size() - 9);
    return text.startsWith(QLatin1Char('@')) ? QString() : text; // @Invalid() and kinds that are no text
}

} // namespace

IniText::IniText(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_lines = bytes.split('\n');
    if (m_lines.last().isEmpty())
        m_lines.removeLast();
    if (!m_lines.isEmpty() && m_lines.first().endsWith('\r'))
        m_lineEnd = "\r\n";
    for (QByteArray &line : m_lines)
        if (line.endsWith('\r'))
            line.chop(1);
}

qsizetype IniText::lineOf(const QString &key) const
{
    const QByteArray wanted = key.toUtf8();
    QByteArray section = General; // lines before any section are General's
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (const QByteArray s = sectionOf(m_lines.at(i)); !s.isEmpty())
            section = s;
        else if (section == General && keyOf(m_lines.at(i)) == wanted)
            return i;
    }
    return -1;
}

// Where a new key of [General] goes: after its last line that is not
// blank; -1 when there is no such section yet.
qsizetype IniText::generalEnd() const
{
    QByteArray section = General;
    bool seen = false;
    qsizetype end = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (const QByteArray s = sectionOf(m_lines.at(i)); !s.isEmpty()) {
            section = s;
            if (s == General)
                seen = true, end = i + 1;
        } else if (section == General && !m_lines.at(i).trimmed().isEmpty()) {
            seen = true;
            end = i + 1;
        }
    }
    return seen ? end : -1;
}

std::optional<QString> IniText::value(const QString &key) const
{
    const qsizetype i = lineOf(key);
    if (i < 0)
        return std::nullopt;
    const QByteArray &line = m_lines.at(i);
    return unescaped(QByteArrayView(line).sliced(line.indexOf('=') + 1));
}

void IniText::setValue(const QString &key, const QString &value)
{
    const QByteArray line = key.toUtf8() + '=' + escaped(value);
    if (const qsizetype i = lineOf(key); i >= 0) {
        m_lines[i] = line;
        return;
    }
    const qsizetype end = generalEnd();
    if (end >= 0) {
        m_lines.insert(end, line);
        return;
    }
    const bool more = !m_lines.isEmpty();
    m_lines.insert(0, "[" + General + "]");
    m_lines.insert(1, line);
    if (more)
        m_lines.insert(2, QByteArray());
}

QByteArray IniText::bytes() const
{
    QByteArray out;
    for (const QByteArray &line : m_lines)
        out += line + m_lineEnd;
    return out;
}

// As Qt reads a value: quotes keep blanks and separators, a backslash
// escapes, "\x" gives a character by its code, ";" starts a comment.
QString IniText::unescaped(QByteArrayView raw)
{
    raw = raw.trimmed();
    QString out;
    QByteArray run; // UTF-8 bytes not yet taken into out
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            break;
        } else if (c != '\\' || i + 1 >= raw.size()) {
            run += c;
        } else if (raw.at(++i) != 'x') {
            run += unescapedChar(raw.at(i));
        } else {
            char16_t code = 0;
            for (int digits = 0; digits < 4 && i + 1 < raw.size() && isHexDigit(char16_t(raw.at(i + 1))); ++digits)
                code = char16_t(code * 16 + QByteArray(1, raw.at(++i)).toUShort(nullptr, 16));
            out += QString::fromUtf8(std::exchange(run, QByteArray())) + QChar(code);
        }
    }
    return withoutMarks(out + QString::fromUtf8(run));
}

// As Qt writes a value, so that either can read what the other wrote.
QByteArray IniText::escaped(const QString &value)
{
    const QString text = value.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + value : value;
    bool quote = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
    QByteArray out;
    QString run;
    bool escapeNextIfDigit = false;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        quote = quote || u == ';' || u == ',' || u == '=' || u == '"';
        const bool hexEscaped = u < 0x20 || u == 0x7f || (escapeNextIfDigit && isHexDigit(u));
        escapeNextIfDigit = false;
        if (!hexEscaped && u != '\\' && u != '"') {
            run += ch;
            continue;
        }
        out += std::exchange(run, QString()).toUtf8();
        if (u == '\n' || u == '\r' || u == '\t')
            out += u == '\n' ? "\\n" : u == '\r' ? "\\r" : "\\t";
        else if (hexEscaped)
            out += "\\x" + QByteArray::number(uint(u), 16), escapeNextIfDigit = true;
        else
            out += '\\' + QByteArray(1, char(u));
    }
    out += run.toUtf8();
    return quote ? '"' + out + '"' : out;
}

} // namespace vidrona::desktop
