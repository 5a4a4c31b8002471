#include "tabname.h"
#include "directfile.h"
#include "download/filenames.h"
#include "download/streams/streamaddress.h"
#include <QUrl>

namespace vidrona::resolve {

using download::fileNameFrom;

QString nameForTab(const QString &fileUrl, const QString &given, const QString &tabTitle)
{
    const QString title = tabTitle.simplified();
    if (title.isEmpty())
        return given;
    const QUrl url(fileUrl);
    const QString path = url.path(QUrl::FullyEncoded);
    const QString segment = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLatin1());
    const QString extension = direct::extensionOf(segment).toLower();
    if (download::streams::isStreamAddress(url) || direct::isStreamedExtension(extension))
        return fileNameFrom(title, QStringLiteral("mp4"));
    if (direct::isMediaExtension(extension))
        return given;
    const QString givenExtension = direct::extensionOf(given).toLower();
    return fileNameFrom(title, direct::isMediaExtension(givenExtension) ? givenExtension : QString());
}

} // namespace vidrona::resolve
