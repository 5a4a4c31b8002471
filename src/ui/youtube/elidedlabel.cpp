#include "elidedlabel.h"
#include <QPainter>

namespace vidrona::ui::youtube {

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    // The text's width is no claim on the layout.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(1);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect room = contentsRect();
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(room, int(alignment()),
                     fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
}

} // namespace vidrona::ui::youtube
