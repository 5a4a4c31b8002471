// The list file's reader on any bytes: rows come out, nothing crashes, and
// what is written back reads back to the same rows.
#include "download/listfile.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona;
    using namespace vidrona::download;
    DownloadList list;
    ListFile::parseInto(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), list);
    DownloadList again;
    ListFile::parseInto(ListFile::serialize(list), again);
    if (ListFile::serialize(again) != ListFile::serialize(list))
        std::abort();
    return 0;
}
