#include "skinmsgbox.h"
#include "skinnedboxwindow.h"
#include "ui/messagebox/skinbox.h"
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>

namespace vidrona::messagebox {

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

int showSkinnedBox(const QString &Prompt, int Style)
{
    // An unknown style shows nothing; checked first so nothing beeps either.
    if (!isSkinStyle(Style))
        return 0;
    SkinnedBoxWindow box;
    box.startUp();
    box.plainArea->setPlainText(Prompt);
    const bool scroll = needsScrollArea(textLineCount(*box.plainArea));
    if (scroll)
        box.scrollingArea->setPlainText(Prompt);
    box.plainArea->setVisible(!scroll);
    box.scrollingArea->setVisible(scroll);
    box.setButtonsFor(Style);
    currentStyle = Style;
    box.exec();
    return boxResult;
}

} // namespace vidrona::messagebox
