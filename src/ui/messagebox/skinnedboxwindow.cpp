#include "skinnedboxwindow.h"
#include "buttonslot.h"
#include "ui/messagebox/skinbox.h"
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QWindow>

namespace vidrona::ui::messagebox {

namespace {

QFont messageFont()
{
    // 8.25 point at 96 dots per inch; pixels, because the box is laid out
    // in pixels and the line count decides which area is used.
    QFont font;
    // Without the Windows face, a condensed one keeps about its width.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

} // namespace

SkinnedBoxWindow::SkinnedBoxWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_skin(QStringLiteral(":/art/skin.bmp"))
{
    setObjectName(QStringLiteral("skinnedBoxWindow"));
    setFixedSize(250, 170);
    setMouseTracking(true);
    setModal(true);

    scrollingArea = makeMessageArea("scrollingArea", true);
    plainArea = makeMessageArea("plainArea", false);
    buttonSlots[1] = new ButtonSlot(1, this);
    buttonSlots[1]->setGeometry(126, 147, 58, 17);
    buttonSlots[0] = new ButtonSlot(0, this);
    buttonSlots[0]->setGeometry(187, 147, 58, 17);
    for (ButtonSlot *slot : buttonSlots) {
        connect(slot, &ButtonSlot::pointerMoved, this, &SkinnedBoxWindow::slotHovered);
        connect(slot, &ButtonSlot::buttonPressed, this, &SkinnedBoxWindow::slotPressed);
        connect(slot, &ButtonSlot::buttonReleased, this, &SkinnedBoxWindow::slotReleased);
        slot->installEventFilter(this); // key preview
    }
    // Over the skin's title; a label without text draws nothing.
    dragStrip = new QLabel(this);
    dragStrip->setObjectName(QStringLiteral("dragStrip"));
    dragStrip->setGeometry(0, 0, 251, 19);
    dragStrip->setMouseTracking(true);
    dragStrip->setFocusPolicy(Qt::NoFocus);
    dragStrip->installEventFilter(this);

    setTabOrder(scrollingArea, buttonSlots[0]);
    setTabOrder(buttonSlots[0], buttonSlots[1]);
    setTabOrder(buttonSlots[1], plainArea);
}

SkinnedBoxWindow::~SkinnedBoxWindow() = default;

QTextEdit *SkinnedBoxWindow::makeMessageArea(const char *name, bool scrollBar)
{
    auto *area = new QTextEdit(this);
    area->setObjectName(QString::fromLatin1(name));
    area->setGeometry(10, 27, 233, 113);
    area->setFrameShape(QFrame::NoFrame);
    area->setAcceptRichText(false);
    area->setReadOnly(true);
    area->setUndoRedoEnabled(false);
    area->setContextMenuPolicy(Qt::NoContextMenu);
    area->setLineWrapMode(QTextEdit::WidgetWidth);
    area->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(scrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    area->setFont(messageFont());
    area->document()->setDocumentMargin(2); // an edit box's slim inner margin
    QPalette pal = area->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, QColor(105, 105, 105));
        pal.setColor(group, QPalette::Text, Qt::white);
    }
    area->setPalette(pal);
    area->viewport()->setMouseTracking(true);
    area->viewport()->installEventFilter(this);
    area->installEventFilter(this);
    return area;
}

void SkinnedBoxWindow::startUp()
{
    QApplication::beep();
    m_hover = HoverFields();
    m_dragByHand = false;
}

void SkinnedBoxWindow::setButtonsFor(int style)
{
    buttonSlots[1]->setVisible(style != StyleOkOnly);
    paint(SlotPaint{0, slotKind(style, 0), ButtonLook::Normal});
    if (style != StyleOkOnly)
        paint(SlotPaint{1, slotKind(style, 1), ButtonLook::Normal});
}

void SkinnedBoxWindow::showEvent(QShowEvent *event)
{
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    buttonSlots[0]->setFocus(Qt::OtherFocusReason);
}

void SkinnedBoxWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_skin);
}

void SkinnedBoxWindow::paint(const QList<SlotPaint> &paints)
{
    for (const SlotPaint &p : paints)
        paint(p);
}

void SkinnedBoxWindow::paint(const SlotPaint &p)
{
    buttonSlots[p.slot]->setPicture(buttonImage(p.kind, p.look));
}

void SkinnedBoxWindow::answer(int result)
{
    boxResult = result;
    done(QDialog::Accepted);
}

} // namespace vidrona::ui::messagebox
