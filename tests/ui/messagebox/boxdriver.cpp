#include "boxdriver.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QWindow>
#include <QtTest>

namespace vidrona::test {

namespace {
QWindow *windowOf(QWidget *w)
{
    return w->window()->windowHandle();
}
QPoint inWindow(QWidget *w, QPoint pos)
{
    return w->mapTo(w->window(), pos);
}
} // namespace

void pressOn(QWidget *w, QPoint pos, Qt::MouseButton button)
{
    QTest::mousePress(windowOf(w), button, {}, inWindow(w, pos));
}

void releaseOn(QWidget *w, QPoint pos, Qt::MouseButton button)
{
    QTest::mouseRelease(windowOf(w), button, {}, inWindow(w, pos));
}

void moveOver(QWidget *w, QPoint pos)
{
    QTest::mouseMove(windowOf(w), inWindow(w, pos));
}

void clickOn(QWidget *w, QPoint pos, Qt::MouseButton button)
{
    pressOn(w, pos, button);
    releaseOn(w, pos, button);
}

void keyTo(QWidget *w, Qt::Key key)
{
    QTest::keyClick(windowOf(w), key);
}

ui::messagebox::SkinnedBoxWindow *openBox()
{
    // The newest visible one: a box opened from inside another comes last.
    ui::messagebox::SkinnedBoxWindow *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<ui::messagebox::SkinnedBoxWindow *>(w); box && box->isVisible())
            found = box;
    return found;
}

QPointer<QTimer> whenBoxOpens(std::function<void(ui::messagebox::SkinnedBoxWindow *)> act, bool *seen,
                              bool *leftOpen)
{
    if (seen)
        *seen = false;
    if (leftOpen)
        *leftOpen = false;
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        ui::messagebox::SkinnedBoxWindow *box = openBox();
        if (!box) {
            if (started->elapsed() > 2000)
                poll->deleteLater(); // no box came
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (seen)
            *seen = true;
        // The checks after act tell whether the box could be used.
        static_cast<void>(QTest::qWaitForWindowExposed(box));
        act(box);
        if (openBox() == box) {
            if (leftOpen)
                *leftOpen = true;
            box->reject();
        }
    });
    poll->start();
    return poll;
}

int runBox(const QString &prompt, int style, std::function<void(ui::messagebox::SkinnedBoxWindow *)> act,
           bool *seen, bool *leftOpen)
{
    QPointer<QTimer> watcher = whenBoxOpens(std::move(act), seen, leftOpen);
    const int result = ui::messagebox::showSkinnedBox(prompt, style);
    delete watcher.data();
    return result;
}

int shownLines(const QWidget *widget)
{
    const auto *edit = qobject_cast<const QTextEdit *>(widget);
    if (!edit)
        return -1;
    QTextDocument *doc = edit->document();
    doc->documentLayout()->documentSize();
    int lines = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        lines += qMax(1, b.layout()->lineCount());
    return lines;
}

} // namespace vidrona::test
