#include "progress.h"
#include "entrystatus.h"
#include <cmath>

namespace vidrona {

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
} // namespace

QString fetchProgressText(qint64 done, qint64 total, double bytesPerSecond)
{
    static const QString dot = QStringLiteral(" \u00b7 ");
    const Unit speedUnit = unitFor(bytesPerSecond);
    const QString speed = amount(bytesPerSecond, speedUnit) + QLatin1Char(' ') + QLatin1String(speedUnit.name) + QLatin1String("/s");
    if (total < 0) {
        const Unit u = unitFor(double(done));
        return amount(double(done), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot + speed;
    }
    const Unit u = unitFor(double(total));
    const int percent = total == 0 ? 100 : int(qMin<qint64>(100, done * 100 / total));
    QString text = QStringLiteral("%1 %").arg(percent) + dot + amount(double(done), u) + QLatin1String(" of ")
                   + amount(double(total), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot + speed;
    if (bytesPerSecond > 0)
        text += dot + duration(qint64(std::ceil(double(qMax<qint64>(0, total - done)) / bytesPerSecond)))
                + QLatin1String(" left");
    return text;
}

QString streamProgressText(int piecesDone, int piecesTotal, qint64 bytes, double bytesPerSecond)
{
    static const QString dot = QStringLiteral(" \u00b7 ");
    const int percent = piecesTotal <= 0 ? 0 : int(qint64(piecesDone) * 100 / piecesTotal);
    const Unit u = unitFor(double(bytes));
    const Unit speedUnit = unitFor(bytesPerSecond);
    QString text = QStringLiteral("%1 %").arg(percent) + dot + QStringLiteral("%1 of %2 pieces").arg(piecesDone).arg(piecesTotal)
                   + dot + amount(double(bytes), u) + QLatin1Char(' ') + QLatin1String(u.name) + dot
                   + amount(bytesPerSecond, speedUnit) + QLatin1Char(' ') + QLatin1String(speedUnit.name)
                   + QLatin1String("/s");
    // The pieces still to come, at the average size of those that came.
    if (bytesPerSecond > 0 && piecesDone > 0) {
        const double left = double(bytes) / piecesDone * (piecesTotal - piecesDone);
        text += dot + duration(qint64(std::ceil(left / bytesPerSecond))) + QLatin1String(" left");
    }
    return text;
}

ListProgress listProgress(const DownloadList &list)
{
    ListProgress p;
    p.total = list.count();
    p.completed = list.completedCount();
    p.label = QStringLiteral("%1 of %2 files downloaded.").arg(p.completed).arg(p.total);
    return p;
}

int waitingCount(const DownloadList &list)
{
    // The list never holds more than 32767 rows, so these counts fit the
    // 16-bit totals the question was designed around.
    qint16 total = 0;
    qint16 finished = 0;
    for (const DownloadEntry &e : list.entries()) {
        ++total;
        if (status::isFinished(e.status))
            ++finished;
    }
    return total - finished;
}

QString resumeQuestion(int waiting)
{
    return QStringLiteral("You have %1 File waiting to be downloaded.  Continue downloading ?")
        .arg(waiting);
}

} // namespace vidrona
