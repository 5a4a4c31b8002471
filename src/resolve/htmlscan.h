#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// A forgiving, bounded reader of the tags of an HTML page: enough to find
// the elements that name a video, not a full parser. It takes any attribute
// order, single, double or no quotes, upper-case names and newlines inside
// tags; comments are skipped, and the text of script, style, textarea, title,
// xmp and template elements is never read as tags (a template's markup is
// not part of the page until a script puts it there). Every step moves forward, so a
// page of n bytes costs O(n) whatever it holds.
namespace vidrona::resolve::html {

struct Attribute {
    QByteArray name;  // lower case
    QByteArray value; // as written: entities not decoded
};

struct Tag {
    QByteArray name; // lower case
    bool closing = false;
    QList<Attribute> attributes;
    // For script, style, textarea, title and xmp: everything up to the
    // element's end tag (the rest of the page when there is none).
    QByteArrayView rawText;

    // The value of the first attribute of that (lower-case) name; empty
    // when there is none. has() tells an empty value from a missing one.
    QByteArray attribute(QByteArrayView name) const;
    bool has(QByteArrayView name) const;
};

// At most this many attributes of one tag are kept; the rest are skipped.
inline constexpr int MaxAttributesPerTag = 64;

class Scanner
{
public:
    explicit Scanner(QByteArrayView page) : m_page(page) {}
    // The next start or end tag; false at the end of the page.
    bool next(Tag &tag);

private:
    bool readTag(Tag &tag);
    void readAttributes(Tag &tag);
    QByteArray readAttributeValue();
    void readRawText(Tag &tag);
    void skipPast(QByteArrayView end);
    void skipBlanks();
    bool atEnd() const { return m_pos >= m_page.size(); }
    char at(qsizetype i) const { return i < m_page.size() ? m_page[i] : '\0'; }

    QByteArrayView m_page;
    qsizetype m_pos = 0;
};

// An attribute value with its character references decoded (&amp; &quot;
// &#39; &#x2F; and the common named ones), read as UTF-8.
QString decodeAttribute(QByteArrayView value);

} // namespace vidrona::resolve::html
