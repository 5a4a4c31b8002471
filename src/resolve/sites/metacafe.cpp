// Metacafe: the link service's answer holds a link to the file server.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &metacafeSite()
{
    static const Site site{QStringLiteral("Metacafe"), hosts::Metacafe,
                           QStringLiteral("/watch/1285389/subaru_tv_spot/"), hosts::Metacafe,
                           QStringLiteral("/tags/")};
    return site;
}

std::optional<QString> Metacafe(const QString &answer)
{
    const int start = text::findFrom(answer, QStringLiteral("http://") + hosts::MetacafeFiles + QLatin1Char('/'), 1);
    if (start == 0)
        return std::nullopt;
    const int quote = text::findFrom(answer, QStringLiteral("\""), start);
    if (quote == 0)
        return std::nullopt;
    return text::textFrom(answer, start, quote - start);
}

std::unique_ptr<Resolver> metacafeResolver()
{
    return std::make_unique<LinkServiceResolver>(
        metacafeSite(), [](const QString &answer, Quality) { return Metacafe(answer); }, Found::Row);
}

} // namespace vidrona::resolve
