// YouTube: "Add Video" opens the YouTube window, which does its own work.
#include "resolve/hosts.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"

namespace vidrona::resolve {

const Site &youTubeSite()
{
    static const Site site{QStringLiteral("YouTube"), hosts::YouTube,
                           QStringLiteral("/watch?v=bR96aWfpWN0"), hosts::YouTube,
                           QStringLiteral("/results?search_query=")};
    return site;
}

namespace {

// The window takes its address from the clipboard and its own box.
class YouTubeResolver : public SiteResolver
{
public:
    YouTubeResolver() : SiteResolver(youTubeSite()) {}

protected:
    void work() override { answer(Answer::found({Found{Found::OpenYouTubeWindow, {}, std::nullopt, {}, {}}})); }
};

} // namespace

std::unique_ptr<Resolver> youTubeResolver()
{
    return std::make_unique<YouTubeResolver>();
}

} // namespace vidrona::resolve
