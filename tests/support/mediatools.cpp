#include "mediatools.h"
#include <QDebug>
#include <QProcess>

namespace vidrona::test {

bool runTool(const QString &program, const QStringList &args, QByteArray *out)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << program << args << p.readAllStandardError().right(2000);
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return true;
}

QByteArray frameSums(const QString &input, const char *kind)
{
    QByteArray out;
    QStringList args{"-v", "error"};
    if (input.endsWith(QLatin1String(".m3u8")))
        args << "-allowed_extensions" << "ALL"; // a key file may be a .bin
    args << "-i" << input << "-map" << QStringLiteral("0:%1").arg(QLatin1String(kind)) << "-f" << "framemd5" << "-";
    if (!runTool("ffmpeg", args, &out))
        return {};
    QByteArray sums;
    for (const QByteArray &line : out.split('\n'))
        if (!line.startsWith('#') && !line.trimmed().isEmpty())
            sums += line.split(',').last().trimmed() + '\n';
    return sums;
}

QStringList streamKinds(const QString &file)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", file}, &out);
    QStringList kinds = QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
    kinds.sort();
    return kinds;
}

double durationOf(const QString &file)
{
    QByteArray out;
    runTool("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file}, &out);
    return out.trimmed().toDouble();
}

double firstFrameSeconds(const QString &file, const char *kind)
{
    QByteArray out;
    if (!runTool("ffprobe", {"-v", "error", "-select_streams", QString::fromLatin1(kind), "-show_entries", "packet=pts_time",
                             "-read_intervals", "%+#1", "-of", "csv=p=0", file}, &out)
        || out.trimmed().isEmpty())
        return -1;
    return out.trimmed().split('\n').first().split(',').first().toDouble(); // "1.4," from the csv writer
}

} // namespace vidrona::test
