// The box's pointer, key, focus and drag handling.
#include "buttonslot.h"
#include "frmmsgbox.h"
#include "ui/messagebox/skinbox.h"
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTextEdit>
#include <QWindow>

namespace vidrona::msgbox {

void FrmMsgBox::picB_MouseMove(int index)
{
    paint(hoverSlot(m_hover, CurrentStyle, index));
}

void FrmMsgBox::picB_MouseDown(int index)
{
    paint(pressSlot(CurrentStyle, index));
}

void FrmMsgBox::picB_MouseUp(int index, QPointF pos)
{
    const ReleaseOutcome out = releaseSlot(CurrentStyle, index, pos.x(), pos.y(),
                                           picB[index]->width(), picB[index]->height());
    paint(out.paint);
    if (out.answers)
        answer(out.result);
}

void FrmMsgBox::RestoreHover(int index)
{
    paint(restoreHover(CurrentStyle, index));
}

void FrmMsgBox::ClearHover()
{
    paint(clearHover(m_hover, CurrentStyle));
}

void FrmMsgBox::mouseMoveEvent(QMouseEvent *event)
{
    ClearHover();
    event->accept();
}

bool FrmMsgBox::keyDown(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        answer(enterResult(CurrentStyle));
        return true;
    case Qt::Key_Escape:
        answer(escapeResult(CurrentStyle));
        return true;
    default:
        return false;
    }
}

void FrmMsgBox::keyPressEvent(QKeyEvent *event)
{
    // Not QDialog's: Esc and Enter answer by style, other keys do nothing.
    if (!keyDown(event->key()))
        event->ignore();
}

void FrmMsgBox::DragWindow(const QPointF &globalPos)
{
    // The window manager moves the box as if its caption were dragged.
    if (QWindow *w = windowHandle(); w && w->startSystemMove())
        return;
    // Refused (no window manager, or a platform without it): follow the
    // pointer by hand until the buttons come up.
    m_dragByHand = true;
    m_dragOffset = globalPos.toPoint() - pos();
}

static bool isMouseEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
        || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
}

bool FrmMsgBox::followDrag(QEvent *event)
{
    // The strip also gets paint, hover and other events: only a mouse
    // event may be read as one.
    if (!isMouseEvent(event->type()))
        return false;
    const auto *me = static_cast<const QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        DragWindow(me->globalPosition());
        return true;
    case QEvent::MouseMove:
        if (m_dragByHand && me->buttons() != Qt::NoButton)
            move(me->globalPosition().toPoint() - m_dragOffset);
        ClearHover();
        return true;
    case QEvent::MouseButtonRelease:
        if (me->buttons() == Qt::NoButton)
            m_dragByHand = false;
        return true;
    default:
        return false;
    }
}

bool FrmMsgBox::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress && keyDown(static_cast<QKeyEvent *>(event)->key()))
        return true; // key preview: the window sees keys before the control
    if (watched == lblDrag)
        return followDrag(event);
    const bool area = watched == txtNoScroll || watched == txtScroll;
    if (area && type == QEvent::FocusIn) {
        // The message never keeps the focus, so it cannot be edited.
        picB[0]->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const bool areaView = watched == txtNoScroll->viewport() || watched == txtScroll->viewport();
    if (areaView && type == QEvent::MouseMove)
        ClearHover();
    return QDialog::eventFilter(watched, event);
}

} // namespace vidrona::msgbox
