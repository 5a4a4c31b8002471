#include "filenames.h"
#include "engine/nameclaims.h"
#include "platform/platform.h"
#include <QDir>
#include <QFileInfo>

namespace vidrona::download {

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

namespace {

// The extension of a name with its dot, when it looks like one.
qsizetype extensionStart(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && name.size() - dot <= 16 ? dot : name.size();
}

QString cutToBytes(QString text, int maxBytes)
{
    while (!text.isEmpty() && text.toUtf8().size() > maxBytes)
        text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
    return text;
}

} // namespace

QString shortenedName(const QString &name, int maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    const qsizetype dot = extensionStart(name);
    const QString extension = name.mid(dot);
    return cutToBytes(name.left(dot), qMax(1, maxBytes - int(extension.toUtf8().size()))) + extension;
}

QString fileNameFrom(const QString &raw, const QString &extension)
{
    const QString refused = platform::refusedNameCharacters();
    QString name = raw.trimmed();
    for (QChar &c : name)
        if (c.unicode() < 32 || c.unicode() == 127 || refused.contains(c))
            c = QLatin1Char('_');
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    platform::trimNameEnd(name);
    const QString dotted = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    if (name.isEmpty() || name.compare(dotted, Qt::CaseInsensitive) == 0)
        name = QStringLiteral("video");
    if (!dotted.isEmpty() && !name.endsWith(dotted, Qt::CaseInsensitive))
        name += dotted;
    if (!platform::isValidFileName(name))
        name.prepend(QLatin1Char('_')); // a device name on Windows
    return shortenedName(name);
}

namespace {

bool heldInFolder(const QString &folder, const QString &name)
{
    // A dangling link holds its name too: a file put there would follow it;
    // and a running fetch holds the name it will put its file under.
    const QString path = QDir(folder).filePath(name);
    const QFileInfo info(path);
    return info.exists() || info.isSymLink() || engine::NameClaims::isHeld(path);
}

} // namespace

QString nextFreeName(const QString &folder, const QString &name, const std::function<bool(const QString &)> &taken)
{
    const auto free = [&](const QString &candidate) {
        return !heldInFolder(folder, candidate) && !(taken && taken(candidate));
    };
    if (free(name))
        return name;
    const qsizetype dot = extensionStart(name);
    const QString base = name.left(dot);
    const QString extension = name.mid(dot);
    for (int n = 2; n <= MaxFreeNameTries; ++n) {
        const QString tail = QStringLiteral(" (%1)%2").arg(n).arg(extension);
        const QString candidate = cutToBytes(base, qMax(1, MaxNameBytes - int(tail.toUtf8().size()))) + tail;
        if (free(candidate))
            return candidate;
    }
    return QString();
}

} // namespace vidrona::download
