#include "site.h"

namespace vidrona::resolve {

QString Site::sampleCaption() const
{
    return QStringLiteral("Sample : http://") + host + samplePath;
}

QString Site::searchAddress(const QString &words) const
{
    return QStringLiteral("http://") + searchHost + searchPath + words;
}

// An address of none of these sites is read as today's web instead: the
// video its page names, or the file itself (sites/anypage.cpp, videoprobe.h).
const QList<const Site *> &SiteTable()
{
    static const QList<const Site *> table = {
        &metacafeSite(), &videktaSite(),  &tvaliSite(),       &allVideosSite(),
        &youTubeSite(),  &breakSite(),    &dailyMotionSite(), &googleVideoSite(),
    };
    return table;
}

const QList<const Site *> &SearchSites()
{
    static const QList<const Site *> order = {
        &videktaSite(), &tvaliSite(), &allVideosSite(),   &youTubeSite(),
        &metacafeSite(), &breakSite(), &dailyMotionSite(), &googleVideoSite(),
    };
    return order;
}

QString siteKey(const QString &address)
{
    return address.mid(7, 8);
}

const Site *findSite(const QString &key)
{
    for (const Site *site : SiteTable())
        if (site->prefix() == key)
            return site;
    return nullptr;
}

QString searchWords(const QString &text)
{
    QString words = text;
    return words.replace(QLatin1Char(' '), QLatin1Char('+'));
}

} // namespace vidrona::resolve
