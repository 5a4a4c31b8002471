#pragma once
// Reaching the assembled main window's controls and panels by name, the
// way a reader of the window finds them.
#include "app/mainwindow.h"
#include "download/liststore.h"
#include "download/service/downloadservice.h"
#include "ui/mainwindow/mainwindowview.h"
#include <QByteArray>
#include <QWidget>
#include <stdexcept>

namespace vidrona::test {

using download::ListStore;
using download::service::DownloadService;

// The control named name; throws (and so fails the test) when it is missing.
template <typename T>
T *ctl(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(QByteArray("no control named ").append(name).toStdString());
    return found;
}

// The one panel of that kind attached to the window.
template <typename T>
T &panel(const QObject &window)
{
    T *found = window.findChild<T *>(QString(), Qt::FindDirectChildrenOnly);
    if (!found)
        throw std::runtime_error("panel missing");
    return *found;
}

inline DownloadService &serviceOf(const QObject &window) { return panel<DownloadService>(window); }
inline ListStore &storeOf(const QObject &window) { return serviceOf(window).store(); }

} // namespace vidrona::test
