#include "clickableimage.h"
#include <QMouseEvent>

namespace vidrona::ui::mainwindow {

void ClickableImage::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace vidrona::ui::mainwindow
