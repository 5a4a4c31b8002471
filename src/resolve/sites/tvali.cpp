// Tvali: the page names the player's XML file, which names the video file.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &tvaliSite()
{
    static const Site site{QStringLiteral("Tvali"), hosts::Tvali,
                           QStringLiteral("/index.php?action=watch&v=6181"), hosts::Tvali,
                           QStringLiteral("/index.php?action=search&s=")};
    return site;
}

using text::findFrom;
using text::textFrom;

std::optional<QString> TvaliXmlUrl(const QString &page)
{
    const int marker = findFrom(page, QStringLiteral("xmlFile=http://") + hosts::Tvali, 1);
    if (marker == 0)
        return std::nullopt;
    const int end = findFrom(page, QStringLiteral("\""), marker);
    if (end == 0)
        return std::nullopt;
    const int start = marker + 8; // after "xmlFile="
    return textFrom(page, start, end - start);
}

std::optional<QString> TvaliFile(const QString &xml)
{
    const int k = findFrom(xml, QStringLiteral("path"), 1);
    if (k == 0)
        return std::nullopt;
    const int end = findFrom(xml, QStringLiteral("\""), k + 8);
    if (end == 0)
        return std::nullopt;
    const int start = k + 6; // after path="
    return textFrom(xml, start, end - start);
}

namespace {

// The page, then the player's XML through the program's own fetch.
class TvaliResolver : public SiteResolver
{
public:
    TvaliResolver() : SiteResolver(tvaliSite()) {}
    Waiting waiting() const override { return Waiting::Hourglass; }

protected:
    void work() override
    {
        readSitePage([this](const QString &page) {
            const auto xmlUrl = TvaliXmlUrl(page);
            if (!xmlUrl)
                return answerWith(std::nullopt);
            fetchText(*xmlUrl, true, [this](const QString &xml) { answerWith(TvaliFile(xml)); });
        });
    }
};

} // namespace

std::unique_ptr<Resolver> tvaliResolver()
{
    return std::make_unique<TvaliResolver>();
}

} // namespace vidrona::resolve
