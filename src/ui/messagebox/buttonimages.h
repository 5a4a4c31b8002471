#pragma once
#include <QImage>
#include <QString>

namespace vidrona::ui::messagebox {

enum class ButtonKind { Ok, Cancel, Yes, No };
enum class ButtonLook { Normal, Hover, Pressed };

// The twelve button pictures of the message box, held from the end of the
// main window's start-up until it closes.
void loadButtonImages();
void freeButtonImages();

// The picture of one kind and look; a null image while they are not loaded.
QImage buttonImage(ButtonKind kind, ButtonLook look);
// How many of the twelve are loaded right now (12 or 0 in practice).
int loadedButtonImageCount();

// The resource name of a picture: "OK", "OK2", "OK3", "CANCEL", ...
QString buttonImageName(ButtonKind kind, ButtonLook look);

} // namespace vidrona::ui::messagebox
