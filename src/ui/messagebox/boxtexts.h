#pragma once
#include <QString>

// The Help and About texts of the main window, shown in the skinned box.
namespace vidrona::ui::messagebox {

// One address for questions and bug reports.
QString contactAddress();

// Joined from their pieces with "\r\n" line breaks; the blanks inside the
// pieces are part of the texts.
QString helpText();
QString aboutText();

} // namespace vidrona::ui::messagebox
