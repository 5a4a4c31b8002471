#pragma once
#include <QString>
#include <memory>

namespace vidrona {

class FrmMain;
class MessageService;

// The main window as the program runs it: the controls of FrmMain with
// each subsystem's panel attached. programFolder holds the list file and
// the downloads; messages shows every standard box. Panels are children of
// the window (find them with findChild), and so is the shared ListStore.
std::unique_ptr<FrmMain> createMainWindow(const QString &programFolder, MessageService *messages);

} // namespace vidrona
