#include "streamaddress.h"

namespace vidrona::download::streams {

bool isStreamAddress(const QUrl &url)
{
    const QString path = url.path();
    return path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive)
           || path.endsWith(QLatin1String(".mpd"), Qt::CaseInsensitive);
}

bool isStreamType(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type == "application/vnd.apple.mpegurl" || type == "application/x-mpegurl"
           || type == "audio/mpegurl" || type == "audio/x-mpegurl" || type == "application/dash+xml"
           || type == "video/vnd.mpeg.dash.mpd";
}

} // namespace vidrona::download::streams
