// The software archive that offers the FLV player's setup program. The
// simulated web serves a small stand-in file, not a program.
#include "resolve/hosts.h"
#include "sitekit.h"

namespace testweb {

void installSoftwareArchive(Server &server)
{
    const QByteArray host = vidrona::resolve::hosts::SoftwareArchive.toLatin1();
    server.on(host, "/", [host](const Request &) {
        return kit::listPage("Software archive",
                             {{"FLV player setup", "http://" + host + "/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe"}});
    });
    server.on(host, "/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe", [](const Request &) {
        return Response::bytes("Stand-in for the FLV player's setup program, served by the simulated web.\r\n");
    });
}

} // namespace testweb
