#include "dropreceiver.h"
#include "desktop/droppedlinks.h"
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

namespace vidrona::ui::mainwindow {

DropReceiver::DropReceiver(const QList<QWidget *> &targets, Take take, QObject *parent)
    : QObject(parent), m_take(std::move(take))
{
    for (QWidget *w : targets) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }
}

bool DropReceiver::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (drag->mimeData() && desktop::dropped::mayHoldAddresses(*drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList addresses = drop->mimeData() ? desktop::dropped::addresses(*drop->mimeData()) : QStringList();
        if (addresses.isEmpty())
            return drop->ignore(), true;
        drop->acceptProposedAction();
        m_take(addresses);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace vidrona::ui::mainwindow
