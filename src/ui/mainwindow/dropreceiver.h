#pragma once
#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace vidrona::ui::mainwindow {

// Takes drops of links, of text holding addresses and of link files on
// the widgets it watches, and hands their addresses on in order; anything
// else shows the refusing cursor while it is dragged over them.
class DropReceiver : public QObject
{
    Q_OBJECT
public:
    using Take = std::function<void(const QStringList &addresses)>;
    DropReceiver(const QList<QWidget *> &targets, Take take, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Take m_take;
};

} // namespace vidrona::ui::mainwindow
