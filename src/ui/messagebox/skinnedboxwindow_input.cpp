// The box's pointer, key, focus and drag handling.
#include "buttonslot.h"
#include "skinnedboxwindow.h"
#include "ui/messagebox/skinbox.h"
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTextEdit>
#include <QWindow>

namespace vidrona::ui::messagebox {

void SkinnedBoxWindow::slotHovered(int index)
{
    paint(hoverSlot(m_hover, currentStyle, index));
}

void SkinnedBoxWindow::slotPressed(int index)
{
    paint(pressSlot(currentStyle, index));
}

void SkinnedBoxWindow::slotReleased(int index, QPointF pos)
{
    const ReleaseOutcome out = releaseSlot(currentStyle, index, pos.x(), pos.y(),
                                           buttonSlots[index]->width(), buttonSlots[index]->height());
    paint(out.paint);
    if (out.answers)
        answer(out.result);
}

void SkinnedBoxWindow::repaintHover(int index)
{
    paint(restoreHover(currentStyle, index));
}

void SkinnedBoxWindow::dropHover()
{
    paint(clearHover(m_hover, currentStyle));
}

void SkinnedBoxWindow::mouseMoveEvent(QMouseEvent *event)
{
    dropHover();
    event->accept();
}

bool SkinnedBoxWindow::keyDown(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        answer(enterResult(currentStyle));
        return true;
    case Qt::Key_Escape:
        answer(escapeResult(currentStyle));
        return true;
    default:
        return false;
    }
}

void SkinnedBoxWindow::keyPressEvent(QKeyEvent *event)
{
    // Not QDialog's: Esc and Enter answer by style, other keys do nothing.
    if (!keyDown(event->key()))
        event->ignore();
}

void SkinnedBoxWindow::dragWindow(const QPointF &globalPos)
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

bool SkinnedBoxWindow::followDrag(QEvent *event)
{
    // The strip also gets paint, hover and other events: only a mouse
    // event may be read as one.
    if (!isMouseEvent(event->type()))
        return false;
    const auto *me = static_cast<const QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        dragWindow(me->globalPosition());
        return true;
    case QEvent::MouseMove:
        if (m_dragByHand && me->buttons() != Qt::NoButton)
            move(me->globalPosition().toPoint() - m_dragOffset);
        dropHover();
        return true;
    case QEvent::MouseButtonRelease:
        if (me->buttons() == Qt::NoButton)
            m_dragByHand = false;
        return true;
    default:
        return false;
    }
}

bool SkinnedBoxWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress && keyDown(static_cast<QKeyEvent *>(event)->key()))
        return true; // key preview: the window sees keys before the control
    if (watched == dragStrip)
        return followDrag(event);
    const bool area = watched == plainArea || watched == scrollingArea;
    if (area && type == QEvent::FocusIn) {
        // The message never keeps the focus, so it cannot be edited.
        buttonSlots[0]->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const bool areaView = watched == plainArea->viewport() || watched == scrollingArea->viewport();
    if (areaView && type == QEvent::MouseMove)
        dropHover();
    return QDialog::eventFilter(watched, event);
}

} // namespace vidrona::ui::messagebox
