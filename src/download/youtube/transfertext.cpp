#include "transfertext.h"
#include <cmath>

namespace vidrona::youtube {

QString cleanFileName(const QString &title)
{
    QString name = title;
    for (const QChar c : {u'/', u'\\', u'*', u':', u'?', u'<', u'>', u'|'})
        name.replace(c, u' ');
    return name;
}

QString sizeText(qint64 size, const QLocale &locale)
{
    // Worked out in whole numbers: size / 1000 has at most three decimals.
    const bool negative = size < 0;
    const quint64 magnitude = negative ? 0 - quint64(size) : quint64(size);
    QString text = QString::number(magnitude / 1000);
    QString fraction = QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += locale.decimalPoint() + fraction;
    if (negative)
        text.prepend(locale.negativeSign());
    return text + QStringLiteral(" Kb");
}

int percentDone(qint64 done, qint64 size)
{
    if (size <= 0)
        return 0;
    const double exact = (100.0 / double(size)) * double(done);
    return int(std::nearbyint(exact)); // the default rounding mode: ties to even
}

QString errorMessage(const QString &description, bool trailingLineEnd)
{
    QString text = QStringLiteral("Error: \r\n") + description + QStringLiteral(" Try Again..!");
    if (trailingLineEnd)
        text += QStringLiteral("\r\n");
    return text;
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace vidrona::youtube
