#include "skinmsgbox.h"
#include "skinnedboxwindow.h"
#include "ui/messagebox/skinbox.h"
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>

namespace vidrona::ui::messagebox {

int textLineCount(const QTextEdit &box)
{
    // From the area's own size, not its viewport's: the box is filled
    // before it is shown, when the viewport has not been laid out yet.
    int width = box.contentsRect().width();
    if (box.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        width -= box.verticalScrollBar()->sizeHint().width();
    return wrappedLineCount(box.toPlainText(), box.font(), width,
                            box.document()->documentMargin());
}

int showSkinnedBox(const QString &prompt, int style)
{
    // An unknown style shows nothing; checked first so nothing beeps either.
    if (!isSkinStyle(style))
        return 0;
    SkinnedBoxWindow box;
    box.startUp();
    box.plainArea->setPlainText(prompt);
    const bool scroll = needsScrollArea(textLineCount(*box.plainArea));
    if (scroll)
        box.scrollingArea->setPlainText(prompt);
    box.plainArea->setVisible(!scroll);
    box.scrollingArea->setVisible(scroll);
    box.setButtonsFor(style);
    currentStyle = style;
    box.exec();
    return boxResult;
}

} // namespace vidrona::ui::messagebox
