#pragma once
#include "buttonimages.h"
#include <QFont>
#include <QString>

// The skinned message box's own styles and answers, the module state shared
// between showSkinnedBox and its window, and the decisions that need no widget.
namespace vidrona::ui::messagebox {

// Styles (the style argument of showSkinnedBox). Not the system box's values.
enum SkinStyle : int { StyleOkOnly = 0, StyleOkCancel = 1, StyleYesNo = 2 };

// Answers. There is deliberately no 2.
enum SkinResult : int { ResultOk = 0, ResultCancel = 1, ResultYes = 3, ResultNo = 4 };

// The style of the box on screen; keeps the last one shown after it closes.
extern int currentStyle;
// The last answer; not cleared when a new box opens.
extern int boxResult;

bool isSkinStyle(int style);

// The button kind shown in slot 0 (right) or 1 (left) for a style; style 0
// has only the OK slot 0, any other slot index counts as slot 1.
ButtonKind slotKind(int style, int slot);
int kindResult(ButtonKind kind);

// Enter and Esc answers for a style.
int enterResult(int style);
int escapeResult(int style);

// More than eight displayed lines go into the scrolling area.
constexpr int PlainAreaMaxLines = 8;
bool needsScrollArea(int displayedLines);

// Lines the text takes when laid out at textWidth (pixels, the message
// area's inner width) in font, the way the area wraps it: by words, and
// inside a word that is wider than the line. An empty text is one line.
int wrappedLineCount(const QString &text, const QFont &font, qreal textWidth,
                     qreal documentMargin);

} // namespace vidrona::ui::messagebox
