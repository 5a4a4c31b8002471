#include "queuetexts.h"
#include "failuretexts.h"
#include <QStringList>
#include <QtMath>
#include <cmath>

namespace vidrona::ui::mainwindow {

using download::SubtitleMiss;
using download::service::RowProgress;

namespace {
struct Unit {
    double bytes;
    const char *name;
};

// The largest unit that gives a value of at least 2, so that a file of
// 1 GiB reads "1024 MiB" rather than "1.0 GiB".
Unit unitFor(double bytes)
{
    static const Unit units[] = {{1024.0 * 1024 * 1024, "GiB"}, {1024.0 * 1024, "MiB"}, {1024.0, "KiB"}};
    for (const Unit &u : units)
        if (bytes >= 2 * u.bytes)
            return u;
    return {1, "B"};
}

QString amount(double bytes, const Unit &u)
{
    const double v = bytes / u.bytes;
    return QString::number(v, 'f', (v >= 100 || u.bytes == 1) ? 0 : 1);
}

QString duration(qint64 seconds)
{
    const QString mmss = QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return seconds >= 3600 ? QStringLiteral("%1:%2").arg(seconds / 3600).arg(mmss.rightJustified(5, QLatin1Char('0')))
                           : mmss;
}

const QString &dot()
{
    static const QString text = QStringLiteral(" \u00b7 ");
    return text;
}
} // namespace

QString fetchProgressText(qint64 done, qint64 total, double bytesPerSecond)
{
    const Unit speedUnit = unitFor(bytesPerSecond);
    const QString speed = amount(bytesPerSecond, speedUnit) + QLatin1Char(' ') + QLatin1String(speedUnit.name) + QLatin1String("/s");
    if (total < 0) {
        const Unit u = unitFor(double(done));
        return amount(double(done), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot() + speed;
    }
    const Unit u = unitFor(double(total));
    const int percent = total == 0 ? 100 : int(qMin<qint64>(100, done * 100 / total));
    QString text = QStringLiteral("%1 %").arg(percent) + dot() + amount(double(done), u) + QLatin1String(" of ")
                   + amount(double(total), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot() + speed;
    if (bytesPerSecond > 0)
        text += dot() + duration(qint64(std::ceil(double(qMax<qint64>(0, total - done)) / bytesPerSecond)))
                + QLatin1String(" left");
    return text;
}

QString streamProgressText(int piecesDone, int piecesTotal, qint64 bytes, double bytesPerSecond)
{
    const int percent = piecesTotal <= 0 ? 0 : int(qint64(piecesDone) * 100 / piecesTotal);
    const Unit u = unitFor(double(bytes));
    const Unit speedUnit = unitFor(bytesPerSecond);
    QString text = QStringLiteral("%1 %").arg(percent) + dot() + QStringLiteral("%1 of %2 pieces").arg(piecesDone).arg(piecesTotal)
                   + dot() + amount(double(bytes), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot()
                   + amount(bytesPerSecond, speedUnit) + QLatin1Char(' ') + QLatin1String(speedUnit.name)
                   + QLatin1String("/s");
    // The pieces still to come, at the average size of those that came.
    if (bytesPerSecond > 0 && piecesDone > 0) {
        const double left = double(bytes) / piecesDone * (piecesTotal - piecesDone);
        text += dot() + duration(qint64(std::ceil(left / bytesPerSecond))) + QLatin1String(" left");
    }
    return text;
}

QString progressText(const RowProgress &p)
{
    if (p.encodedPermille >= 0)
        return QStringLiteral("Encoding MP3: %1%").arg(p.encodedPermille / 10);
    return p.isStream() ? streamProgressText(p.piecesDone, p.piecesTotal, p.bytes, p.bytesPerSecond)
                        : fetchProgressText(p.bytes, p.total, p.bytesPerSecond);
}

QString retryWaitText(int ms, const net::Failure &why)
{
    QString text = failureText(why);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return QStringLiteral("Retrying in %1 s (%2)").arg(qCeil(ms / 1000.0)).arg(text);
}

QString endedText(const net::Failure &failure)
{
    if (failure.reason == net::Reason::Cancelled)
        return QStringLiteral("Cancelled");
    return failure.failed() ? failureText(failure) : QString();
}

QString missedSubtitlesText(const QList<SubtitleMiss> &missed)
{
    QStringList parts;
    for (const SubtitleMiss &m : missed) {
        QString why = failureText(m.why);
        if (!why.isEmpty())
            why[0] = why[0].toLower();
        parts << QStringLiteral("no subtitles (%1): %2").arg(m.language, why);
    }
    return QStringLiteral("Completed, ") + parts.join(QStringLiteral("; "));
}

QString queueFailureText()
{
    return QStringLiteral("An error has occured in the file transfer or write.  Please try again later.");
}

QString failureBoxText(const net::Failure &failure)
{
    return queueFailureText() + QStringLiteral("\r\n") + failureText(failure);
}

QString filesDownloadedText(int completed, int total)
{
    return QStringLiteral("%1 of %2 files downloaded.").arg(completed).arg(total);
}

QString resumeQuestion(int waiting)
{
    return QStringLiteral("You have %1 File waiting to be downloaded.  Continue downloading ?")
        .arg(waiting);
}

} // namespace vidrona::ui::mainwindow
