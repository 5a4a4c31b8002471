#pragma once
#include <QString>

class QTextEdit;

namespace vidrona::ui::messagebox {

// Displayed lines of a message area: its text wrapped at the area's width.
int textLineCount(const QTextEdit &box);

// Shows prompt in the skinned box with the buttons of style (0 OK, 1 OK and
// CANCEL, 2 YES and NO) and waits, modally, until it is answered. Returns
// 0 OK, 1 CANCEL, 3 YES, 4 NO; another style shows nothing and returns 0.
int showSkinnedBox(const QString &prompt, int style);

} // namespace vidrona::ui::messagebox
