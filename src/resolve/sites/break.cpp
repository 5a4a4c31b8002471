// Break: the answer's link lives on a "media" host; the high quality is the
// same file as wmv. Its search pages live on a host of their own.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &breakSite()
{
    static const Site site{QStringLiteral("Break"), hosts::Break,
                           QStringLiteral("/index/big-wheel-drifting.html"), hosts::BreakSearch,
                           QStringLiteral("/Content/Search/Search.aspx?SEARCH1=Search&s="), QualityOptions::LowHigh};
    return site;
}

std::optional<QString> Break(const QString &answer, Quality quality)
{
    // "/media" is the second slash of the link's "http://".
    const int marker = text::findFrom(answer, QStringLiteral("/media"), 1);
    if (marker < 7)
        return std::nullopt;
    const int quote = text::findFrom(answer, QStringLiteral("\""), marker);
    if (quote == 0)
        return std::nullopt;
    if (quality == Quality::Low)
        return text::textFrom(answer, marker - 6, quote - marker + 6);
    if (quality == Quality::High)
        return text::textFrom(answer, marker - 6, quote - marker + 3) + QStringLiteral("wmv");
    return std::nullopt; // no avi on this site
}

std::unique_ptr<Resolver> breakResolver()
{
    return std::make_unique<LinkServiceResolver>(breakSite(), &Break, Found::Row);
}

} // namespace vidrona::resolve
