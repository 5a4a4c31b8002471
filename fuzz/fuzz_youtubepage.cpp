// Reading a YouTube watch page: any page, every quality. A page read as
// found always gives a title and an address on the site; one
// refused names what it lacked.
#include "resolve/youtube/pageparse.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona::resolve::youtube;
    const QByteArray page(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const Quality q : {Quality::Low, Quality::HighMp4, Quality::HighFlv}) {
        const PageLookup found = lookUpPage(page, q);
        if (found.ok && (found.title.isEmpty() || !found.fileUrl.startsWith(QLatin1String("http://"))))
            std::abort();
        if (!found.ok && found.miss == PageLookup::None)
            std::abort();
    }
    return 0;
}
