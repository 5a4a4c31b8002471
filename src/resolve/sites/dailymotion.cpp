// DailyMotion: the answer's link lives on a "proxy" host; it opens in the browser.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &dailyMotionSite()
{
    static const Site site{QStringLiteral("DailyMotion"), hosts::DailyMotion,
                           QStringLiteral("/video/xrdvl_subaru-wrx_sport"), hosts::DailyMotion,
                           QStringLiteral("/relevance/search/")};
    return site;
}

std::optional<QString> DailyMotion(const QString &answer)
{
    // The 7 characters before "proxy" are the link's "http://".
    const int marker = text::findFrom(answer, QStringLiteral("proxy"), 1);
    if (marker < 8)
        return std::nullopt;
    const int quote = text::findFrom(answer, QStringLiteral("\""), marker);
    if (quote == 0)
        return std::nullopt;
    return text::textFrom(answer, marker - 7, quote - marker + 7);
}

// Its player wants the file in the browser.
std::unique_ptr<Resolver> dailyMotionResolver()
{
    return std::make_unique<LinkServiceResolver>(
        dailyMotionSite(), [](const QString &answer, Quality) { return DailyMotion(answer); }, Found::OpenInBrowser);
}

} // namespace vidrona::resolve
