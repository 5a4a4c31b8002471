#include "skinmsgbox.h"
#include "frmmsgbox.h"
#include "ui/messagebox/skinbox.h"
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>

namespace vidrona::msgbox {

int TextLineCount(const QTextEdit &box)
{
    // From the area's own size, not its viewport's: the box is filled
    // before it is shown, when the viewport has not been laid out yet.
    int width = box.contentsRect().width();
    if (box.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        width -= box.verticalScrollBar()->sizeHint().width();
    return wrappedLineCount(box.toPlainText(), box.font(), width,
                            box.document()->documentMargin());
}

int SkinMsgBox(const QString &Prompt, int Style)
{
    // An unknown style shows nothing; checked first so nothing beeps either.
    if (!isSkinStyle(Style))
        return 0;
    FrmMsgBox box;
    box.Form_Load();
    box.txtNoScroll->setPlainText(Prompt);
    const bool scroll = needsScrollArea(TextLineCount(*box.txtNoScroll));
    if (scroll)
        box.txtScroll->setPlainText(Prompt);
    box.txtNoScroll->setVisible(!scroll);
    box.txtScroll->setVisible(scroll);
    box.setButtonsFor(Style);
    CurrentStyle = Style;
    box.exec();
    return BoxResult;
}

} // namespace vidrona::msgbox
