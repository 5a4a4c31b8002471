#pragma once
#include "desktop/messages.h"
#include <QString>

namespace vidrona::desktop {

// True for an http or https address with a host and no control character:
// the only kind the program hands to the browser.
bool isWebAddress(const QString &target);

// Opens target in the user's web browser. Anything but a web address (a
// file: address, a program name) is refused with a message instead.
// Returns whether the address was handed on.
bool OpenUrl(const QString &target, MessageService &messages);

// Opens a file with the desktop's default program for it, through the same
// hand-off as a web address. Returns whether it was handed on.
bool OpenFile(const QString &path);

// Shows folder in the desktop's file manager (the same hand-off as a web
// address, as a file: address). Returns whether it was handed on.
bool OpenFolder(const QString &folder);

} // namespace vidrona::desktop
