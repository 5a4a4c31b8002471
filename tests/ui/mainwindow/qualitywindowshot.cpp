// Takes the picture of the window that asks which quality to add, for the
// documentation: a talk's four pictures, its sound and two subtitle
// languages, the 720p line highlighted and German ticked.
// Usage: QT_QPA_PLATFORM=offscreen qualitywindowshot OUTPUT.png
#include "ui/mainwindow/qualitywindow.h"
#include <QApplication>
#include <QListWidget>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::ui::mainwindow;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qualitywindowshot OUTPUT.png\n");
        return 2;
    }
    QList<download::streams::Quality> qualities;
    for (const auto &[w, h] : QList<QPair<int, int>>{{1920, 1080}, {1280, 720}, {854, 480}, {640, 360}})
        qualities << download::streams::Quality{true, true, w, h, 25, "avc1.640028,mp4a.40.2", h * 4000LL, -1, 754, {}};
    qualities << download::streams::Quality{false, true, 0, 0, 0, "mp4a.40.2", 128000, -1, 754, "en"};
    QualityWindow window(QStringLiteral("Talk.mp4"), qualities, {QStringLiteral("en"), QStringLiteral("de")}, 0);
    window.show();
    window.findChild<QListWidget *>(QStringLiteral("lstQualities"))->setCurrentRow(1);
    window.findChild<QListWidget *>(QStringLiteral("lstSubtitles"))->item(1)->setCheckState(Qt::Checked);
    app.processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "qualitywindowshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
