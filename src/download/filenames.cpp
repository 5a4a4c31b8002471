#include "filenames.h"

namespace vidrona {

QString listedNameOf(const QString &fileUrl)
{
    for (qsizetype i = fileUrl.size() - 2; i >= 0; --i)
        if (fileUrl.at(i) == QLatin1Char('/'))
            return fileUrl.mid(i + 1);
    return {};
}

QString savedNameOf(const QString &fileUrl)
{
    const qsizetype slash = fileUrl.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fileUrl.mid(slash + 1);
}

bool isListableUrl(const QString &fileUrl)
{
    for (const QChar c : fileUrl)
        if (c.unicode() < 32 || c.unicode() == 127)
            return false;
    return true;
}

QString withRefusedCharactersReplaced(const QString &name)
{
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    QString out = name;
    for (QChar &c : out)
        if (c.unicode() < 32 || c.unicode() == 127 || refused.contains(c))
            c = QLatin1Char('_');
    return out;
}

} // namespace vidrona
