#include "sites.h"

namespace testweb {

QList<SiteInstaller> siteInstallers()
{
    return {};
}

} // namespace testweb
