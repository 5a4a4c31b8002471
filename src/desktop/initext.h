#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace vidrona::desktop {

// The text of a settings file in the INI layout Qt's settings class
// writes ("[General]", key=value, quoted and escaped values), read from
// and turned back into bytes, so the program reads such a file from bytes
// it got safely and writes it through its one safe writer. Lines it does
// not set (other keys, sections, comments) are kept as they were.
class IniText
{
public:
    explicit IniText(const QByteArray &bytes = {});

    // The value of key in the [General] section (or before any section),
    // unescaped; nullopt when there is no such key.
    std::optional<QString> value(const QString &key) const;
    // Sets key in the [General] section, where it was or at its end.
    void setValue(const QString &key, const QString &value);
    QByteArray bytes() const;

    static QString unescaped(QByteArrayView raw);
    static QByteArray escaped(const QString &value);

private:
    // The line of key in [General]; -1 when none.
    qsizetype lineOf(const QString &key) const;
    qsizetype generalEnd() const;

    QList<QByteArray> m_lines;
    QByteArray m_lineEnd = "\n";
};

} // namespace vidrona::desktop
