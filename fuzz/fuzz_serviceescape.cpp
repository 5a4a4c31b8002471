// The link service's escape on any address: none of the escaped characters
// is left, each became three characters, and the request ends with it.
#include "resolve/resolvers.h"
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona::resolve;
    const QString address = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString special = QStringLiteral(":;&=/\\><?!+-");
    const QString escaped = EncodeServiceUrl(address);
    qsizetype replaced = 0;
    for (const QChar c : address)
        replaced += special.contains(c) ? 1 : 0;
    for (const QChar c : escaped)
        if (special.contains(c))
            std::abort();
    if (escaped.size() != address.size() + 2 * replaced || !ServiceRequest(address).endsWith(escaped))
        std::abort();
    return 0;
}
