#include "buttonimages.h"
#include <QtGlobal>
#include <array>

namespace vidrona::ui::messagebox {

namespace {

std::array<QImage, 12> g_images; // indexed by kind * 3 + look

int slot(ButtonKind kind, ButtonLook look)
{
    return int(kind) * 3 + int(look);
}

void loadOne(ButtonKind kind)
{
    for (ButtonLook look : {ButtonLook::Normal, ButtonLook::Hover, ButtonLook::Pressed}) {
        const QString name = buttonImageName(kind, look);
        QImage img(QStringLiteral(":/art/%1.bmp").arg(name));
        // The pictures are built into the program; one missing means a
        // broken build, which start-up must not hide.
        if (img.isNull())
            qFatal("Button picture %s is missing from the program's resources", qPrintable(name));
        g_images[slot(kind, look)] = img;
    }
}

} // namespace

QString buttonImageName(ButtonKind kind, ButtonLook look)
{
    static const char *const words[] = {"OK", "CANCEL", "YES", "NO"};
    static const char *const suffixes[] = {"", "2", "3"};
    return QString::fromLatin1(words[int(kind)]) + QString::fromLatin1(suffixes[int(look)]);
}

void loadButtonImages()
{
    for (ButtonKind kind : {ButtonKind::Cancel, ButtonKind::Ok, ButtonKind::Yes, ButtonKind::No})
        loadOne(kind);
}

void freeButtonImages()
{
    for (ButtonKind kind : {ButtonKind::Cancel, ButtonKind::Ok, ButtonKind::Yes, ButtonKind::No})
        for (ButtonLook look : {ButtonLook::Normal, ButtonLook::Hover, ButtonLook::Pressed})
            g_images[slot(kind, look)] = QImage();
}

QImage buttonImage(ButtonKind kind, ButtonLook look)
{
    return g_images[slot(kind, look)];
}

int loadedButtonImageCount()
{
    int n = 0;
    for (const QImage &img : g_images)
        n += img.isNull() ? 0 : 1;
    return n;
}

} // namespace vidrona::ui::messagebox
