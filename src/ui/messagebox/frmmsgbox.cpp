#include "frmmsgbox.h"
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

namespace vidrona::msgbox {

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

FrmMsgBox::FrmMsgBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_skin(QStringLiteral(":/art/skin.bmp"))
{
    setObjectName(QStringLiteral("frmMsgBox"));
    setFixedSize(250, 170);
    setMouseTracking(true);
    setModal(true);

    txtScroll = makeMessageArea("txtScroll", true);
    txtNoScroll = makeMessageArea("txtNoScroll", false);
    picB[1] = new ButtonSlot(1, this);
    picB[1]->setGeometry(126, 147, 58, 17);
    picB[0] = new ButtonSlot(0, this);
    picB[0]->setGeometry(187, 147, 58, 17);
    for (ButtonSlot *slot : picB) {
        connect(slot, &ButtonSlot::pointerMoved, this, &FrmMsgBox::picB_MouseMove);
        connect(slot, &ButtonSlot::buttonPressed, this, &FrmMsgBox::picB_MouseDown);
        connect(slot, &ButtonSlot::buttonReleased, this, &FrmMsgBox::picB_MouseUp);
        slot->installEventFilter(this); // key preview
    }
    // Over the skin's title; a label without text draws nothing.
    lblDrag = new QLabel(this);
    lblDrag->setObjectName(QStringLiteral("lblDrag"));
    lblDrag->setGeometry(0, 0, 251, 19);
    lblDrag->setMouseTracking(true);
    lblDrag->setFocusPolicy(Qt::NoFocus);
    lblDrag->installEventFilter(this);

    setTabOrder(txtScroll, picB[0]);
    setTabOrder(picB[0], picB[1]);
    setTabOrder(picB[1], txtNoScroll);
}

FrmMsgBox::~FrmMsgBox() = default;

QTextEdit *FrmMsgBox::makeMessageArea(const char *name, bool scrollBar)
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

void FrmMsgBox::Form_Load()
{
    QApplication::beep();
    m_hover = HoverFields();
    m_dragByHand = false;
}

void FrmMsgBox::setButtonsFor(int style)
{
    picB[1]->setVisible(style != StyleOkOnly);
    paint(SlotPaint{0, slotKind(style, 0), ButtonLook::Normal});
    if (style != StyleOkOnly)
        paint(SlotPaint{1, slotKind(style, 1), ButtonLook::Normal});
}

void FrmMsgBox::showEvent(QShowEvent *event)
{
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    picB[0]->setFocus(Qt::OtherFocusReason);
}

void FrmMsgBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_skin);
}

void FrmMsgBox::paint(const QList<SlotPaint> &paints)
{
    for (const SlotPaint &p : paints)
        paint(p);
}

void FrmMsgBox::paint(const SlotPaint &p)
{
    picB[p.slot]->setPicture(buttonImage(p.kind, p.look));
}

void FrmMsgBox::answer(int result)
{
    BoxResult = result;
    done(QDialog::Accepted);
}

} // namespace vidrona::msgbox
