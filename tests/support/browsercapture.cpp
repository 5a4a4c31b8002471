#include "browsercapture.h"
#include <QDesktopServices>

namespace vidrona::test {

BrowserCapture::BrowserCapture()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

BrowserCapture::~BrowserCapture()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

} // namespace vidrona::test
