#pragma once
#include "ui/messagebox/skinnedboxwindow.h"
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QString>
#include <functional>

class QWidget;

// Drives the skinned box with real window-system mouse and key events, the
// way a user would: events go to the box's window and Qt routes them.
namespace vidrona::test {

void pressOn(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void releaseOn(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void moveOver(QWidget *w, QPoint pos);
void clickOn(QWidget *w, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void keyTo(QWidget *w, Qt::Key key);

// The box on screen now, if any.
ui::messagebox::SkinnedBoxWindow *openBox();

// Runs act on the box once it is on screen. Whatever act leaves open is
// closed without an answer afterwards, so a failed check cannot leave the
// test hanging in the box's modal wait; *leftOpen tells whether that
// happened and *seen whether a box came up at all.
// The returned watcher may be deleted to stop waiting.
QPointer<QTimer> whenBoxOpens(std::function<void(ui::messagebox::SkinnedBoxWindow *)> act,
                              bool *seen = nullptr, bool *leftOpen = nullptr);

// showSkinnedBox(prompt, style) with act run on the open box.
int runBox(const QString &prompt, int style, std::function<void(ui::messagebox::SkinnedBoxWindow *)> act,
           bool *seen = nullptr, bool *leftOpen = nullptr);

// Lines the widget's own document shows right now (after layout).
int shownLines(const QWidget *textEdit);

} // namespace vidrona::test
