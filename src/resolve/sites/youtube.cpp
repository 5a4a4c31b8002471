// YouTube: "Add Video" opens the YouTube window, which does its own work.
#include "resolve/hosts.h"
#include "resolve/site.h"

namespace vidrona {

const Site &youTubeSite()
{
    static const Site site{QStringLiteral("YouTube"), hosts::YouTube,
                           QStringLiteral("/watch?v=bR96aWfpWN0"), hosts::YouTube,
                           QStringLiteral("/results?search_query="), SiteAction::YouTubeWindow};
    return site;
}

} // namespace vidrona
