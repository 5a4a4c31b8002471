#pragma once
#include <QImage>
#include <QWidget>

namespace vidrona::ui::messagebox {

// One picture slot of the box (buttonSlots[0], buttonSlots[1]): shows a
// button picture and reports the pointer. It takes any mouse button alike.
class ButtonSlot : public QWidget
{
    Q_OBJECT
public:
    ButtonSlot(int index, QWidget *parent);

    int index() const { return m_index; }
    void setPicture(const QImage &picture);
    QImage picture() const { return m_picture; }

signals:
    void pointerMoved(int index);
    void buttonPressed(int index);
    // pos: from the slot's top-left corner, also when outside it.
    void buttonReleased(int index, QPointF pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_index;
    QImage m_picture;
};

} // namespace vidrona::ui::messagebox
