// Takes the pictures of the skinned box for the documentation: each style
// with its buttons normal, hovered and pressed, and the Help box over the
// main window. Run it on a real display (xvfb-run), with an output folder.
#include "boxdriver.h"
#include "desktop/messages.h"
#include "support/mainwindowtest.h"
#include "ui/messagebox/buttonimages.h"
#include "ui/messagebox/buttonslot.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::ui::messagebox;
using namespace vidrona::app;
using namespace vidrona::desktop;
using namespace vidrona::ui::mainwindow;

namespace {

QString g_out;

class SilentMessages : public MessageService
{
public:
    int show(const QString &, const QString &, int) override { return AnswerNo; }
};

void save(const QPixmap &shot, const QString &name)
{
    const QString path = QDir(g_out).filePath(name);
    if (!shot.save(path))
        std::fprintf(stderr, "msgboxshots: cannot write %s\n", qPrintable(path));
}

QPixmap screenOf(QWidget *w, QRect r = QRect())
{
    QTest::qWait(300); // let the X server draw what Qt painted
    if (r.isNull())
        r = w->frameGeometry();
    return w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
}

void shootStyle(int style)
{
    static const char *const looks[] = {"normal", "hover", "pressed"};
    static const char *const buttons[] = {"OK", "OK and CANCEL", "YES and NO"};
    const QString prompt = QStringLiteral("A message in the skinned box.\r\n\r\nStyle %1: %2.")
                               .arg(style)
                               .arg(QLatin1String(buttons[style]));
    for (int look = 0; look < 3; ++look) {
        const QString name = QStringLiteral("style%1-%2.png").arg(style).arg(QLatin1String(looks[look]));
        test::runBox(prompt, style, [&](SkinnedBoxWindow *box) {
            ButtonSlot *slot = box->buttonSlots[0];
            if (look >= 1)
                test::moveOver(slot, QPoint(29, 8));
            if (look == 2)
                test::pressOn(slot, QPoint(29, 8));
            save(screenOf(box), name);
            if (look == 2)
                test::releaseOn(box, QPoint(5, 100)); // outside: no answer
            test::keyTo(box, Qt::Key_Escape);
        });
    }
}

void shootHelpOverMain()
{
    QTemporaryDir dir;
    SilentMessages messages;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &main = *window;
    main.startUp();
    main.resize(760, 560);
    main.move(20, 20);
    main.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&main)); // a picture shows it if not
    test::whenBoxOpens([&](SkinnedBoxWindow *box) {
        save(screenOf(box, box->screen()->geometry()), QStringLiteral("help-over-main.png"));
        test::keyTo(box, Qt::Key_Return);
    });
    QTest::mouseClick(test::ctl<QPushButton>(main, "helpButton")->windowHandle() ? test::ctl<QPushButton>(main, "helpButton")->windowHandle()
                                                        : main.windowHandle(),
                      Qt::LeftButton, {}, test::ctl<QPushButton>(main, "helpButton")->mapTo(&main, QPoint(5, 5)));
    test::whenBoxOpens([&](SkinnedBoxWindow *box) {
        save(screenOf(box), QStringLiteral("about.png"));
        test::keyTo(box, Qt::Key_Return);
    });
    QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, test::ctl<QPushButton>(main, "aboutButton")->mapTo(&main, QPoint(5, 5)));
}

// Opens one box for `seconds` and reports where it is, for dragging it by
// hand (or with xdotool) on a display with or without a window manager.
int holdBox(int seconds)
{
    bool byHand = false;
    QPoint first, last;
    test::whenBoxOpens([&](SkinnedBoxWindow *box) {
        first = box->pos();
        std::printf("open at %d,%d\n", first.x(), first.y());
        std::fflush(stdout);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < seconds * 1000 && box->isVisible()) {
            QTest::qWait(20);
            byHand = byHand || box->isDraggingByHand();
        }
        last = box->pos();
        if (box->isVisible())
            box->accept();
    });
    showSkinnedBox(QStringLiteral("Drag me by the title strip."), 0);
    std::printf("closed at %d,%d; moved by hand: %s\n", last.x(), last.y(), byHand ? "yes" : "no");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: msgboxshots OUTPUT_FOLDER | --hold SECONDS\n");
        return 2;
    }
    loadButtonImages();
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdBox(QByteArray(argv[2]).toInt());
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    for (int style = 0; style < 3; ++style)
        shootStyle(style);
    shootHelpOverMain();
    return 0;
}
