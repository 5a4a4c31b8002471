#include "besidefile.h"
#include "platform/safefile.h"
#include <QDir>
#include <QFileInfo>

namespace vidrona::download::subtitles {

QString besidePath(const QString &videoPath, const QString &language)
{
    const QFileInfo info(videoPath);
    return info.dir().filePath(info.completeBaseName() + QLatin1Char('.') + language + QStringLiteral(".srt"));
}

void saveBeside(const QString &videoPath, const QList<Track> &tracks, qint64 mediaStartMs,
                QList<SubtitleMiss> *missed)
{
    for (const Track &track : tracks) {
        QString error;
        const QByteArray srt = srtText(track.cues, track.onMediaClock ? mediaStartMs : 0);
        if (!platform::writeFileSafely(besidePath(videoPath, track.language), srt, &error))
            missed->append({track.language, net::fail(net::Reason::WriteFailed, net::Cause::SystemSaid, error)});
    }
}

} // namespace vidrona::download::subtitles
