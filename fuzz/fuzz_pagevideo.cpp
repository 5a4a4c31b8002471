// Reading the video a page of today's web names: any page, and what is
// found is always an http(s) address.
#include "resolve/pagevideo.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona::resolve;
    const QByteArrayView page(reinterpret_cast<const char *>(data), qsizetype(size));
    const QUrl address(QStringLiteral("https://www.example.com/videos/clip.html"));
    const PageVideo found = readPageVideo(page, address);
    if (found.finding == PageFinding::File && !found.fileUrl.startsWith(QLatin1String("http")))
        std::abort();
    for (const QString &url : pageVideoAddresses(page, address))
        if (!url.startsWith(QLatin1String("http")))
            std::abort();
    return 0;
}
