// Every site resolver's text work on any page, answer or address, in
// every quality: whatever comes out is a usable address or nothing.
#include "resolve/resolvers.h"
#include <cstdlib>

namespace {

void check(const std::optional<QString> &link)
{
    // An address is handed on only after this test; it must not crash.
    if (link)
        (void)vidrona::resolve::isUsableFileUrl(*link);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona::resolve;
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    check(Videkta(text));
    check(TvaliXmlUrl(text));
    check(TvaliFile(text));
    check(AllVideos(text));
    check(Metacafe(text));
    check(DailyMotion(text));
    for (const Quality q : {Quality::None, Quality::Low, Quality::High, Quality::Avi}) {
        check(Break(text, q));
        check(Google(text, q));
    }
    return 0;
}
