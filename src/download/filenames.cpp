#include "filenames.h"
#include <QDir>
#include <QFileInfo>

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

namespace {

bool heldInFolder(const QString &folder, const QString &name)
{
    // A dangling link holds its name too: a file put there would follow it.
    const QFileInfo info(QDir(folder).filePath(name));
    return info.exists() || info.isSymLink();
}

} // namespace

QString nextFreeName(const QString &folder, const QString &name, const std::function<bool(const QString &)> &taken)
{
    const auto free = [&](const QString &candidate) {
        return !heldInFolder(folder, candidate) && !(taken && taken(candidate));
    };
    if (free(name))
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const bool hasExtension = dot > 0;
    const QString base = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    for (int n = 2; n <= MaxFreeNameTries; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(extension);
        if (free(candidate))
            return candidate;
    }
    return QString();
}

} // namespace vidrona
