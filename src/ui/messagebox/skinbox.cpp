#include "skinbox.h"
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

namespace vidrona::ui::messagebox {

int currentStyle = 0;
int boxResult = 0;

bool isSkinStyle(int style)
{
    return style == StyleOkOnly || style == StyleOkCancel || style == StyleYesNo;
}

ButtonKind slotKind(int style, int slot)
{
    const bool right = slot == 0;
    switch (style) {
    case StyleOkCancel:
        return right ? ButtonKind::Cancel : ButtonKind::Ok;
    case StyleYesNo:
        return right ? ButtonKind::No : ButtonKind::Yes;
    default:
        return ButtonKind::Ok;
    }
}

int kindResult(ButtonKind kind)
{
    switch (kind) {
    case ButtonKind::Cancel:
        return ResultCancel;
    case ButtonKind::Yes:
        return ResultYes;
    case ButtonKind::No:
        return ResultNo;
    case ButtonKind::Ok:
        break;
    }
    return ResultOk;
}

int enterResult(int style)
{
    return style == StyleYesNo ? ResultYes : ResultOk;
}

int escapeResult(int style)
{
    if (style == StyleOkCancel)
        return ResultCancel;
    if (style == StyleYesNo)
        return ResultNo;
    return ResultOk;
}

bool needsScrollArea(int displayedLines)
{
    return displayedLines > PlainAreaMaxLines;
}

int wrappedLineCount(const QString &text, const QFont &font, qreal textWidth,
                     qreal documentMargin)
{
    QTextDocument doc;
    doc.setDefaultFont(font);
    doc.setDocumentMargin(documentMargin);
    QTextOption option = doc.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);
    doc.setPlainText(text);
    doc.setTextWidth(textWidth);
    doc.documentLayout()->documentSize(); // lays the blocks out
    int lines = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        lines += qMax(1, layout ? layout->lineCount() : 1);
    }
    return qMax(1, lines);
}

} // namespace vidrona::ui::messagebox
