#include "buttonslot.h"
#include <QMouseEvent>
#include <QPainter>

namespace vidrona::ui::messagebox {

ButtonSlot::ButtonSlot(int index, QWidget *parent)
    : QWidget(parent)
    , m_index(index)
{
    setObjectName(QStringLiteral("buttonSlots%1").arg(index));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ButtonSlot::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void ButtonSlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
}

void ButtonSlot::mouseMoveEvent(QMouseEvent *event)
{
    // While a button is held the slot keeps getting the moves (Qt's
    // implicit grab), wherever the pointer is.
    event->accept();
    emit pointerMoved(m_index);
}

void ButtonSlot::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    emit buttonPressed(m_index);
}

void ButtonSlot::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is still a press.
    mousePressEvent(event);
}

void ButtonSlot::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    emit buttonReleased(m_index, event->position());
}

} // namespace vidrona::ui::messagebox
