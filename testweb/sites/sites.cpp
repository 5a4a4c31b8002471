#include "sites.h"

namespace testweb {

// The video sites and services of the address box, search and links.
void installMetacafe(Server &);
void installVidekta(Server &);
void installTvali(Server &);
void installAllVideos(Server &);
void installBreak(Server &);
void installDailyMotion(Server &);
void installGoogleVideo(Server &);
void installLinkService(Server &);
void installSoftwareArchive(Server &);
void installYouTube(Server &);
void installTodaysWeb(Server &);
void installStreamClip(Server &);
void installMembers(Server &);
void installVideoSite(Server &);
void installQualityLadder(Server &);
void installMembersEvening(Server &);

QList<SiteInstaller> siteInstallers()
{
    return {
        installMetacafe, installVidekta, installTvali, installAllVideos, installBreak,
        installDailyMotion, installGoogleVideo, installLinkService, installSoftwareArchive,
        installYouTube, installTodaysWeb, installStreamClip, installVideoSite,
        installMembers, installQualityLadder, installMembersEvening,
    };
}

} // namespace testweb
