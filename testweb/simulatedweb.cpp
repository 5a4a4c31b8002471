#include "server.h"
#include "sites/sites.h"

namespace testweb {

// Every simulated site, one unit each (see sites/).
void installSimulatedWeb(Server &server)
{
    for (const SiteInstaller install : siteInstallers())
        install(server);
}

} // namespace testweb
