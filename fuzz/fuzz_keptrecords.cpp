// The records kept beside interrupted fetches, read back from any bytes (a
// crash, a full disk or another program may have left anything there):
// nothing crashes, and the spans handed out lie within the whole, merged
// and in order, so a resumed fetch never asks for or trusts bytes outside it.
#include "download/keptbytes.h"
#include "download/streams/piecefolder.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

void write(const QString &path, const uint8_t *data, size_t size)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char *>(data), qint64(size));
}

void checkSpans(const QList<vidrona::download::Span> &spans, qint64 whole)
{
    qint64 end = -1;
    for (const vidrona::download::Span &s : spans) {
        if (s.begin <= end || s.begin >= s.end || s.begin < 0 || (whole >= 0 && s.end > whole))
            std::abort();
        end = s.end;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace vidrona;
    static QTemporaryDir dir(QStringLiteral("/dev/shm/fuzz-kept-XXXXXX"));
    const QString target = QDir(dir.path()).filePath(QStringLiteral("clip.flv"));
    write(download::kept::bytesPath(target), data, size % 4096);
    write(download::kept::recordPath(target), data, size);
    qint64 keptLength = 0;
    if (const auto record = download::kept::load(target, &keptLength))
        checkSpans(record->done, record->total);
    const download::streams::PieceFolder folder(QDir(dir.path()).filePath(QStringLiteral("clip.mp4")));
    QDir().mkpath(folder.path());
    write(QDir(folder.path()).filePath(QStringLiteral("record")), data, size);
    if (const auto record = folder.load())
        checkSpans(record->done, record->pieces);
    return 0;
}
