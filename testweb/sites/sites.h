#pragma once
#include "../server.h"
#include <QList>

namespace testweb {

using SiteInstaller = void (*)(Server &);

// The table of simulated sites; each entry registers one site's routes.
QList<SiteInstaller> siteInstallers();

} // namespace testweb
