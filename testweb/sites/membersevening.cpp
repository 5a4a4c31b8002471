// A second page of the members' site, for the toolbar list's "all": its
// player loads another address of the members' film and reads another
// address of their lesson's playlist, so both become new rows of one
// click. The media themselves are the members' site's (members.cpp),
// served only with its login cookie.
#include "sitekit.h"

namespace testweb {

namespace {

const QByteArray Host = "members.vidrona.test";

const char EveningPage[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<title>Members' evening</title>\n</head>\n<body>\n<h1>Members' evening</h1>\n"
    "<video id=\"film\" src=\"/private/film.mp4?evening=1\" preload=\"auto\" controls></video>\n"
    "<script>\n"
    "fetch('/hls/lesson.m3u8?evening=1').then(r => r.text()).then(t => {\n"
    "  const piece = t.split('\\n').find(l => l.endsWith('.ts'));\n"
    "  return fetch('/hls/' + piece).then(r => r.arrayBuffer());\n"
    "}).then(() => { document.body.dataset.played = '1'; });\n"
    "</script>\n</body>\n</html>\n";

} // namespace

void installMembersEvening(Server &server)
{
    server.on(Host, "/evening", [](const Request &) { return Response::html(EveningPage); });
}

} // namespace testweb
