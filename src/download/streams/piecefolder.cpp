#include "piecefolder.h"
#include "download/engine/record.h"
#include "platform/platform.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vidrona::download::streams {

PieceFolder::PieceFolder(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    m_path = QDir(info.path()).filePath(QLatin1Char('.') + info.fileName() + QLatin1String(".pieces"));
}

bool PieceFolder::exists() const
{
    const QFileInfo info(m_path);
    return info.isDir() && !info.isSymLink();
}

bool PieceFolder::make() const
{
    if (!QFileInfo(m_path).isSymLink() && (exists() || QDir().mkdir(m_path))) {
        platform::markHidden(m_path);
        if (exists())
            return true;
    }
    return false;
}

QString PieceFolder::piecePath(int n) const
{
    return QDir(m_path).filePath(QString::number(n) + QLatin1String(".piece"));
}

QString PieceFolder::keptPath() const
{
    return QDir(m_path).filePath(QStringLiteral("pieces"));
}

QString PieceFolder::joinedPath() const
{
    return QDir(m_path).filePath(QStringLiteral("joined.mp4"));
}

namespace {
// The length of the plain file at path; -1 when it is missing, a link or no file.
qint64 plainSize(const QString &path)
{
    QFile file;
    return platform::openKept(file, path, QIODevice::ReadOnly) ? file.size() : -1;
}
} // namespace

std::optional<JoinPiece> PieceFolder::where(const PieceRecord &record, int n) const
{
    if (const auto place = record.places.constFind(n); place != record.places.cend()) {
        if (plainSize(keptPath()) < place->end)
            return std::nullopt;
        return JoinPiece{keptPath(), place->begin, place->size()};
    }
    const qint64 size = plainSize(piecePath(n));
    if (size < 0)
        return std::nullopt;
    return JoinPiece{piecePath(n), 0, size};
}

qint64 PieceFolder::pieceSize(int n) const
{
    const std::optional<PieceRecord> record = load();
    const std::optional<JoinPiece> at = where(record.value_or(PieceRecord{}), n);
    return at ? at->length : -1;
}

QString PieceFolder::soundPath() const
{
    return QDir(m_path).filePath(QStringLiteral("sound"));
}

QString PieceFolder::encodedPath() const
{
    return QDir(m_path).filePath(QStringLiteral("encoded.mp3"));
}

QString PieceFolder::recordPath() const
{
    return QDir(m_path).filePath(QStringLiteral("record"));
}

std::optional<PieceRecord> PieceFolder::load() const
{
    if (!exists())
        return std::nullopt;
    const std::optional<engine::FetchRecord> r = engine::readRecord(recordPath());
    if (!r || r->kind != engine::FetchRecord::Kind::Pieces)
        return std::nullopt;
    return PieceRecord{r->address, r->digest, r->pieces, r->done, r->places, r->quality, r->subtitles};
}

QList<Span> PieceFolder::piecesOnDisk(int pieces) const
{
    QList<Span> spans;
    if (const std::optional<PieceRecord> record = load())
        for (auto it = record->places.cbegin(); it != record->places.cend(); ++it)
            if (it.key() < pieces && where(*record, it.key()))
                spans.append({it.key(), it.key() + 1});
    const QDir dir(m_path);
    const QStringList names = dir.entryList({QStringLiteral("*.piece")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        bool ok = false;
        const int n = name.chopped(6).toInt(&ok);
        if (ok && n >= 0 && n < pieces && name == QString::number(n) + QLatin1String(".piece") && plainSize(dir.filePath(name)) >= 0)
            spans.append({n, n + 1});
    }
    return engine::mergedSpans(spans);
}

bool PieceFolder::save(const PieceRecord &record) const
{
    engine::FetchRecord r;
    r.kind = engine::FetchRecord::Kind::Pieces;
    r.address = record.address;
    r.digest = record.digest;
    r.pieces = record.pieces;
    r.done = record.done;
    r.places = record.places;
    r.quality = record.quality;
    r.subtitles = record.subtitles;
    return engine::writeRecord(recordPath(), r);
}

void PieceFolder::clear(bool removeFolder) const
{
    if (!exists())
        return;
    QDir dir(m_path);
    const auto entries = dir.entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : entries)
        if (!QFile::remove(dir.filePath(name)))
            dir.rmdir(name); // an empty folder someone made there
    if (removeFolder)
        QDir().rmdir(m_path);
}

} // namespace vidrona::download::streams
