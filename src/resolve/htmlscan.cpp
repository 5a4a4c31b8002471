#include "htmlscan.h"

namespace vidrona::resolve::html {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// Elements whose content is text, never tags.
bool holdsRawText(const QByteArray &name)
{
    return name == "script" || name == "style" || name == "textarea" || name == "title"
           || name == "xmp" || name == "template";
}

} // namespace

QByteArray Tag::attribute(QByteArrayView name) const
{
    for (const Attribute &a : attributes)
        if (a.name == name)
            return a.value;
    return {};
}

bool Tag::has(QByteArrayView name) const
{
    for (const Attribute &a : attributes)
        if (a.name == name)
            return true;
    return false;
}

bool Scanner::next(Tag &tag)
{
    while (!atEnd()) {
        const qsizetype lt = m_page.indexOf('<', m_pos);
        if (lt < 0) {
            m_pos = m_page.size();
            return false;
        }
        m_pos = lt;
        const QByteArrayView rest = m_page.sliced(lt);
        if (rest.startsWith("<!--")) {
            m_pos += 4;
            skipPast("-->");
        } else if (rest.startsWith("<!") || rest.startsWith("<?")) {
            skipPast(">");
        } else if (isLetter(at(lt + 1)) || (at(lt + 1) == '/' && isLetter(at(lt + 2)))) {
            return readTag(tag);
        } else {
            ++m_pos; // a lone "<" in the text
        }
    }
    return false;
}

bool Scanner::readTag(Tag &tag)
{
    tag = Tag();
    ++m_pos; // "<"
    tag.closing = at(m_pos) == '/';
    if (tag.closing)
        ++m_pos;
    while (!atEnd() && !isBlank(at(m_pos)) && at(m_pos) != '/' && at(m_pos) != '>')
        tag.name += lower(m_page[m_pos++]);
    if (tag.closing) {
        skipPast(">");
        return true;
    }
    readAttributes(tag);
    if (holdsRawText(tag.name))
        readRawText(tag);
    return true;
}

void Scanner::readAttributes(Tag &tag)
{
    for (;;) {
        while (!atEnd() && (isBlank(at(m_pos)) || at(m_pos) == '/'))
            ++m_pos;
        if (atEnd())
            return;
        if (at(m_pos) == '>') {
            ++m_pos;
            return;
        }
        Attribute attr;
        attr.name += lower(m_page[m_pos++]); // even "=": a name starts with any character
        while (!atEnd() && !isBlank(at(m_pos)) && at(m_pos) != '=' && at(m_pos) != '>'
               && at(m_pos) != '/')
            attr.name += lower(m_page[m_pos++]);
        skipBlanks();
        if (at(m_pos) == '=') {
            ++m_pos;
            skipBlanks();
            attr.value = readAttributeValue();
        }
        if (tag.attributes.size() < MaxAttributesPerTag)
            tag.attributes.append(attr);
    }
}

QByteArray Scanner::readAttributeValue()
{
    const char quote = at(m_pos);
    if (quote == '"' || quote == '\'') {
        const qsizetype start = m_pos + 1;
        qsizetype end = m_page.indexOf(quote, start);
        if (end < 0)
            end = m_page.size();
        m_pos = qMin(end + 1, m_page.size());
        return m_page.sliced(start, end - start).toByteArray();
    }
    const qsizetype start = m_pos;
    while (!atEnd() && !isBlank(at(m_pos)) && at(m_pos) != '>')
        ++m_pos;
    return m_page.sliced(start, m_pos - start).toByteArray();
}

// Up to the element's own end tag, which is then read as the next tag.
void Scanner::readRawText(Tag &tag)
{
    const qsizetype start = m_pos;
    qsizetype from = start;
    for (;;) {
        const qsizetype lt = m_page.indexOf("</", from);
        if (lt < 0) {
            m_pos = m_page.size();
            break;
        }
        const qsizetype nameEnd = lt + 2 + tag.name.size();
        const char after = at(nameEnd);
        if (nameEnd <= m_page.size() && sameIgnoringCase(m_page.sliced(lt + 2, tag.name.size()), tag.name)
            && (isBlank(after) || after == '>' || after == '/' || after == '\0')) {
            m_pos = lt;
            break;
        }
        from = lt + 2;
    }
    tag.rawText = m_page.sliced(start, m_pos - start);
}

void Scanner::skipPast(QByteArrayView end)
{
    const qsizetype found = m_page.indexOf(end, m_pos);
    m_pos = found < 0 ? m_page.size() : found + end.size();
}

void Scanner::skipBlanks()
{
    while (!atEnd() && isBlank(at(m_pos)))
        ++m_pos;
}

namespace {

struct NamedReference {
    const char *name;
    char32_t code;
};

// The references real pages put into addresses and titles.
const NamedReference namedReferences[] = {
    {"amp", '&'},  {"lt", '<'},     {"gt", '>'},     {"quot", '"'},  {"apos", '\''},
    {"nbsp", 0xA0}, {"sol", '/'},   {"colon", ':'},  {"quest", '?'}, {"equals", '='},
    {"num", '#'},  {"percnt", '%'}, {"period", '.'}, {"lowbar", '_'}, {"hyphen", '-'},
};

void appendUtf8(QByteArray &out, char32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// A numeric reference after "&#": its code and length, or 0 length.
qsizetype readNumber(QByteArrayView text, char32_t &code)
{
    const bool hex = !text.isEmpty() && (text[0] == 'x' || text[0] == 'X');
    qsizetype i = hex ? 1 : 0;
    quint64 value = 0;
    const qsizetype digitsStart = i;
    for (; i < text.size() && i < 12; ++i) {
        const char c = lower(text[i]);
        const int digit = (c >= '0' && c <= '9') ? c - '0' : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (digit < 0)
            break;
        value = value * (hex ? 16 : 10) + quint64(digit);
    }
    if (i == digitsStart)
        return 0;
    code = value > 0x10FFFF ? 0xFFFD : char32_t(value);
    return (i < text.size() && text[i] == ';') ? i + 1 : i;
}

// The reference that starts after "&": appended to out; its length, or 0.
qsizetype readReference(QByteArrayView text, QByteArray &out)
{
    if (text.startsWith("#")) {
        char32_t code = 0;
        const qsizetype n = readNumber(text.sliced(1), code);
        if (n == 0)
            return 0;
        appendUtf8(out, code);
        return n + 1;
    }
    for (const NamedReference &ref : namedReferences) {
        const QByteArrayView name(ref.name);
        if (text.size() > name.size() && text.startsWith(name) && text[name.size()] == ';') {
            appendUtf8(out, ref.code);
            return name.size() + 1;
        }
    }
    return 0;
}

} // namespace

QString decodeAttribute(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '&') {
            const qsizetype n = readReference(value.sliced(i + 1), out);
            if (n > 0) {
                i += n;
                continue;
            }
        }
        out += value[i];
    }
    return QString::fromUtf8(out);
}

} // namespace vidrona::resolve::html
