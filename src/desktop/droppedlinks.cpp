#include "droppedlinks.h"
#include "openurl.h"
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

namespace vidrona::desktop::dropped {

namespace {

bool isLinkFile(const QUrl &url)
{
    const QString path = url.toLocalFile().toLower();
    return url.isLocalFile() && (path.endsWith(QLatin1String(".url")) || path.endsWith(QLatin1String(".desktop")));
}

// The "URL=" line of a .url shortcut or a .desktop link; opened as a
// regular file only and read within its bound.
QString linkFileTarget(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return QString();
    const QString text = QString::fromUtf8(file.read(MaxLinkFileBytes));
    static const QRegularExpression urlLine(QStringLiteral("^\\s*URL\\s*=\\s*(\\S+)\\s*$"),
                                            QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = urlLine.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

void addOnce(QStringList &out, const QString &address)
{
    if (isWebAddress(address) && !out.contains(address) && out.size() < MaxAddresses)
        out << address;
}

} // namespace

bool mayHoldAddresses(const QMimeData &data)
{
    for (const QUrl &url : data.urls())
        if (isWebAddress(url.toString()) || isLinkFile(url))
            return true;
    return !data.hasUrls() && data.hasText() && !addressesInText(data.text().left(MaxLinkFileBytes)).isEmpty();
}

QStringList addresses(const QMimeData &data)
{
    QStringList out;
    if (data.hasUrls()) {
        for (const QUrl &url : data.urls())
            addOnce(out, isLinkFile(url) ? linkFileTarget(url.toLocalFile()) : url.toString());
        return out;
    }
    for (const QString &a : addressesInText(data.text().left(MaxLinkFileBytes)))
        addOnce(out, a);
    return out;
}

QStringList addressesInText(const QString &text)
{
    static const QRegularExpression word(QStringLiteral("https?://\\S+"), QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    for (auto it = word.globalMatch(text); it.hasNext() && out.size() < MaxAddresses;)
        out << it.next().captured(0);
    return out;
}

} // namespace vidrona::desktop::dropped
