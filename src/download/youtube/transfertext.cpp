#include "transfertext.h"
#include <cmath>

namespace vidrona::download::youtube {

QString cleanFileName(const QString &title)
{
    QString name = title;
    for (const QChar c : {u'/', u'\\', u'*', u':', u'?', u'<', u'>', u'|'})
        name.replace(c, u' ');
    return name;
}

int percentDone(qint64 done, qint64 size)
{
    if (size <= 0)
        return 0;
    const double exact = (100.0 / double(size)) * double(done);
    return int(std::nearbyint(exact)); // the default rounding mode: ties to even
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

} // namespace vidrona::download::youtube
