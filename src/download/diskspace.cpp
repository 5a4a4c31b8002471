#include "diskspace.h"
#include <QStorageInfo>

namespace vidrona::download::diskspace {

QString decimalSize(qint64 bytes)
{
    static const char *const units[] = {"B", "kB", "MB", "GB", "TB"};
    constexpr int Last = 4;
    constexpr int FirstWithDecimal = 3;
    double value = double(qMax<qint64>(0, bytes));
    int unit = 0;
    // The unit is chosen on the rounded figure: 999,999 B reads "1 MB".
    const auto shown = [&] { return unit >= FirstWithDecimal ? qRound64(value * 10) / 10.0 : double(qRound64(value)); };
    while (unit < Last && shown() >= 1000) {
        value /= 1000;
        ++unit;
    }
    const QString figure = unit >= FirstWithDecimal ? QString::number(shown(), 'f', 1) : QString::number(qint64(shown()));
    return figure + QLatin1Char(' ') + QLatin1String(units[unit]);
}

std::optional<net::Failure> check(const QString &folder, qint64 needed)
{
    const QStorageInfo storage(folder);
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : -1;
    if (free < 0 || needed <= free)
        return std::nullopt;
    return net::fail(net::Reason::NoSpace, QStringLiteral("Not enough free space: needs %1, %2 free")
                                               .arg(decimalSize(needed), decimalSize(free)));
}

} // namespace vidrona::download::diskspace
