#pragma once
#include "ui/messagebox/hoverlogic.h"
#include <QDialog>
#include <QImage>
#include <array>

class QLabel;
class QTextEdit;

namespace vidrona::msgbox {

class ButtonSlot;

// The skinned message box: frameless, drawn from the skin picture, two
// picture slots for buttons, dragged by the strip over the skin's title.
// SkinMsgBox fills it, sets CurrentStyle and runs it modally; every answer
// sets BoxResult and closes it.
class FrmMsgBox : public QDialog
{
    Q_OBJECT
public:
    explicit FrmMsgBox(QWidget *parent = nullptr);
    ~FrmMsgBox() override;

    // Sounds the beep and starts the hover fields afresh.
    void Form_Load();
    // Shows or hides picB(1) and gives both slots their normal pictures.
    void setButtonsFor(int style);

    quint8 HoverIndex() const { return m_hover.HoverIndex; }
    bool HoverShown() const { return m_hover.HoverShown; }
    // True while the box follows the pointer itself (no window manager).
    bool isDraggingByHand() const { return m_dragByHand; }

    QLabel *lblDrag = nullptr;
    QTextEdit *txtNoScroll = nullptr;
    QTextEdit *txtScroll = nullptr;
    std::array<ButtonSlot *, 2> picB{}; // 0 right, 1 left

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

    void picB_MouseMove(int index);
    void picB_MouseDown(int index);
    void picB_MouseUp(int index, QPointF pos);
    void RestoreHover(int index);
    void ClearHover();
    void DragWindow(const QPointF &globalPos);
    bool followDrag(QEvent *event);

    QImage m_skin;
    HoverFields m_hover;
    bool m_dragByHand = false;
    QPoint m_dragOffset;
};

} // namespace vidrona::msgbox
