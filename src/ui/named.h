#pragma once
#include <QString>
#include <QWidget>
#include <utility>

namespace vidrona::ui {

// Creates a child control carrying its role name as objectName, so tests
// and readers find it by that name.
template <typename W, typename... Args>
W *named(QWidget *parent, const char *name, Args &&...args)
{
    W *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace vidrona::ui
