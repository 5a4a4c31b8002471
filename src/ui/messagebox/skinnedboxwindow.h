#pragma once
#include "ui/messagebox/hoverlogic.h"
#include <QDialog>
#include <QImage>
#include <array>

class QLabel;
class QTextEdit;

namespace vidrona::ui::messagebox {

class ButtonSlot;

// The skinned message box: frameless, drawn from the skin picture, two
// picture slots for buttons, dragged by the strip over the skin's title.
// showSkinnedBox fills it, sets currentStyle and runs it modally; every answer
// sets boxResult and closes it.
class SkinnedBoxWindow : public QDialog
{
    Q_OBJECT
public:
    explicit SkinnedBoxWindow(QWidget *parent = nullptr);
    ~SkinnedBoxWindow() override;

    // Sounds the beep and starts the hover fields afresh.
    void startUp();
    // Shows or hides buttonSlots[1] and gives both slots their normal pictures.
    void setButtonsFor(int style);

    quint8 hoverIndex() const { return m_hover.hoverIndex; }
    bool hoverShown() const { return m_hover.hoverShown; }
    // True while the box follows the pointer itself (no window manager).
    bool isDraggingByHand() const { return m_dragByHand; }

    QLabel *dragStrip = nullptr;
    QTextEdit *plainArea = nullptr;
    QTextEdit *scrollingArea = nullptr;
    std::array<ButtonSlot *, 2> buttonSlots{}; // 0 right, 1 left

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QTextEdit *makeMessageArea(const char *name, bool scrollBar);
    void paint(const QList<SlotPaint> &paints);
    void paint(const SlotPaint &p);
    void answer(int result);
    bool keyDown(int key);

    void slotHovered(int index);
    void slotPressed(int index);
    void slotReleased(int index, QPointF pos);
    void repaintHover(int index);
    void dropHover();
    void dragWindow(const QPointF &globalPos);
    bool followDrag(QEvent *event);

    QImage m_skin;
    HoverFields m_hover;
    bool m_dragByHand = false;
    QPoint m_dragOffset;
};

} // namespace vidrona::ui::messagebox
