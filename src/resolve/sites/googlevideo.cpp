// Google Video: the answer lists the low, high and avi links in that order;
// the chosen one opens in the browser.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &googleVideoSite()
{
    static const Site site{QStringLiteral("Google Video"), hosts::GoogleVideo,
                           QStringLiteral("/videoplay?docid=-3640530513745741819&q=subaru&ei=1iGKS"),
                           hosts::GoogleVideo, QStringLiteral("/videosearch?q="),
                           QualityOptions::LowMp4Avi};
    return site;
}

std::optional<QString> Google(const QString &answer, Quality quality)
{
    const QString marker = QStringLiteral("vp.video");
    int occurrences = 0;
    switch (quality) {
    case Quality::Low: occurrences = 1; break;
    case Quality::High: occurrences = 2; break;
    case Quality::Avi: occurrences = 3; break;
    case Quality::None: return std::nullopt;
    }
    int at = 0;
    for (int i = 0; i < occurrences; ++i) {
        at = text::findFrom(answer, marker, i == 0 ? 1 : at + int(marker.size()));
        if (at == 0)
            return std::nullopt;
    }
    // The 7 characters before the marker are the link's "http://".
    if (at < 8)
        return std::nullopt;
    const int quote = text::findFrom(answer, QStringLiteral("\""), at);
    if (quote == 0)
        return std::nullopt;
    QString link = text::textFrom(answer, at - 7, quote - at + 7);
    // The page writes & as &amp;; the low link is taken as written.
    if (quality != Quality::Low)
        link.remove(QStringLiteral("amp;"));
    return link;
}

std::unique_ptr<Resolver> googleVideoResolver()
{
    return std::make_unique<LinkServiceResolver>(googleVideoSite(), &Google, Found::OpenInBrowser);
}

} // namespace vidrona::resolve
