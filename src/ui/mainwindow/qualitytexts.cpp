#include "qualitytexts.h"
#include <QLocale>
#include <QStringList>

namespace vidrona::ui::mainwindow {

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

QString describeQuality(const download::streams::Quality &q)
{
    QStringList parts;
    if (q.width > 0 && q.height > 0)
        parts << QStringLiteral("%1×%2").arg(q.width).arg(q.height);
    else if (q.video && q.height > 0) // a site may tell the height alone
        parts << QStringLiteral("%1p").arg(q.height);
    else if (!q.video && q.sound)
        parts << QStringLiteral("sound only");
    if (q.frameRate > 0)
        parts << QStringLiteral("%1 fps").arg(QLocale::c().toString(q.frameRate, 'g', 4));
    if (!q.codecs.isEmpty())
        parts << QString::fromLatin1(q.codecs);
    if (q.bitrate > 0)
        parts << (q.bitrate >= 1000000 ? QStringLiteral("%1 Mb/s").arg(QLocale::c().toString(q.bitrate / 1e6, 'f', 1))
                                       : QStringLiteral("%1 kb/s").arg(q.bitrate / 1000));
    bool about = false;
    if (const qint64 bytes = q.size(&about); bytes >= 0)
        parts << (about ? QStringLiteral("about ") : QString()) + sizeText(bytes);
    return parts.join(QStringLiteral(", "));
}

} // namespace vidrona::ui::mainwindow
