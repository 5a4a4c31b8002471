#include "openurl.h"
#include <QDesktopServices>
#include <QUrl>

namespace vidrona::desktop {

namespace {

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

} // namespace

bool isWebAddress(const QString &target)
{
    if (hasControlCharacter(target))
        return false;
    const QUrl url(target, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool OpenUrl(const QString &target, MessageService &messages)
{
    if (!isWebAddress(target)) {
        QString shown = target;
        for (QChar &c : shown)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = QLatin1Char('?');
        messages.show(QStringLiteral("Only web addresses (http or https) are opened in the browser. "
                                     "This address was not opened:\r\n")
                          + shown,
                      QString(), MsgCritical);
        return false;
    }
    return QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}

bool OpenFile(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool OpenFolder(const QString &folder)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

} // namespace vidrona::desktop
