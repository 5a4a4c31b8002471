#include "textops.h"

namespace vidrona::resolve::text {

int findFrom(const QString &text, const QString &what, int from)
{
    if (from < 1 || from > text.size() + 1)
        return 0;
    return int(text.indexOf(what, from - 1, Qt::CaseSensitive)) + 1;
}

QString textFrom(const QString &text, int a, int n)
{
    if (a < 1 || n < 1)
        return {};
    return text.mid(a - 1, n);
}

} // namespace vidrona::resolve::text
