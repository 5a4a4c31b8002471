#pragma once
#include "desktop/folders.h"
#include "desktop/handedaddress.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace vidrona::desktop {
class DesktopBus;
class MessageService;
}
namespace vidrona::ui::mainwindow {
class MainWindowView;
}

namespace vidrona::app {

using desktop::DesktopBus;
using desktop::Folders;
using desktop::HandedAddress;
using desktop::MessageService;
using ui::mainwindow::MainWindowView;

// The main window as the program runs it: the controls of MainWindowView with
// each subsystem's panel attached. programFolder holds the list file and
// the downloads; messages shows every standard box. Panels are children of
// the window (find them with findChild), and so is the DownloadService
// that owns the list and the queue.
std::unique_ptr<MainWindowView> createMainWindow(const QString &programFolder, MessageService *messages);
// The same with the list file in folders.list and the downloads (the
// queue's and the YouTube window's) in folders.downloads.
// desktop, when given, hears of downloads that end while the window is not
// the active one, and of the queue's progress for the task bar.
std::unique_ptr<MainWindowView> createMainWindow(const Folders &folders, MessageService *messages,
                                                 DesktopBus *desktop = nullptr);

// Brings the window to the front, as a second start asks.
void bringToFront(MainWindowView &window);

// Adds each address in order with the same outcome as pasting it into the
// address box and pressing "Add Video", each once the one before is worked
// out and its rows added; the rest are dropped when the window closes.
void addVideos(MainWindowView &window, const QStringList &addresses);
// The same, each row an address becomes carrying its extras.
void addVideos(MainWindowView &window, const QList<HandedAddress> &addresses);

} // namespace vidrona::app
