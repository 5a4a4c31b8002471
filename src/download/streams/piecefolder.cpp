#include "piecefolder.h"
#include "download/keptbytes.h"
#include "desktop/platform.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

namespace vidrona::streams {

namespace {
const QByteArray Magic = "vidrona stream pieces 1";
// Enough for every piece of the largest stream allowed, done one by one.
constexpr qint64 MaxRecordBytes = 4 << 20;

QByteArray spansText(const QList<Span> &spans)
{
    QByteArray text;
    for (const Span &s : spans)
        text += ' ' + QByteArray::number(s.begin) + '-' + QByteArray::number(s.end);
    return text;
}

QList<Span> readSpans(const QByteArray &text, int pieces)
{
    QList<Span> spans;
    for (const QByteArray &word : text.split(' ')) {
        const int dash = word.indexOf('-');
        bool ok1 = false, ok2 = false;
        const Span s{word.left(dash).toLongLong(&ok1), word.mid(dash + 1).toLongLong(&ok2)};
        if (dash > 0 && ok1 && ok2 && s.begin >= 0 && s.begin < s.end && s.end <= pieces)
            spans.append(s);
    }
    return kept::merged(spans); // a record written by hand may repeat or overlap

}
} // namespace

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

bool PieceFolder::make(QString *error) const
{
    if (!QFileInfo(m_path).isSymLink() && (exists() || QDir().mkdir(m_path))) {
        platform::markHidden(m_path);
        if (exists())
            return true;
    }
    *error = QStringLiteral("The folder for the pieces cannot be made: %1").arg(m_path);
    return false;
}

QString PieceFolder::piecePath(int n) const
{
    return QDir(m_path).filePath(QString::number(n) + QLatin1String(".piece"));
}

QString PieceFolder::tempPath(int n) const
{
    return piecePath(n) + QLatin1String(".part");
}

QString PieceFolder::joinedPath() const
{
    return QDir(m_path).filePath(QStringLiteral("joined.mp4"));
}

qint64 PieceFolder::pieceSize(int n) const
{
    QFile file;
    return platform::openKept(file, piecePath(n), QIODevice::ReadOnly) ? file.size() : -1;
}

std::optional<PieceRecord> PieceFolder::load() const
{
    QFile file;
    if (!exists() || !platform::openKept(file, QDir(m_path).filePath("record"), QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.read(MaxRecordBytes + 1);
    if (text.size() > MaxRecordBytes || !text.startsWith(Magic + '\n'))
        return std::nullopt;
    PieceRecord r;
    QByteArray done;
    for (const QByteArray &line : text.split('\n')) {
        const int blank = line.indexOf(' ');
        const QByteArray key = line.left(blank), value = blank < 0 ? QByteArray() : line.mid(blank + 1);
        if (key == "address") r.address = value;
        else if (key == "digest") r.digest = value;
        else if (key == "pieces") r.pieces = value.toInt();
        else if (key == "done") done = value;
    }
    r.done = readSpans(done, r.pieces);
    return r;
}

// Written beside the record, made durable, then renamed over it in one
// step: a crash leaves the old record or the new one, and a link put in its
// place is replaced, never written through.
bool PieceFolder::save(const PieceRecord &record) const
{
    const QString path = QDir(m_path).filePath("record"), fresh = path + QLatin1String(".new");
    QFile file;
    if (!platform::openKept(file, fresh, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    const QByteArray text = Magic + "\naddress " + record.address + "\ndigest " + record.digest + "\npieces "
                            + QByteArray::number(record.pieces) + "\ndone" + spansText(record.done) + '\n';
    const bool written = file.write(text) == text.size() && platform::syncFile(file);
    file.close();
    std::error_code error;
    if (written)
        std::filesystem::rename(QFile::encodeName(fresh).toStdString(), QFile::encodeName(path).toStdString(), error);
    return written && !error;
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

} // namespace vidrona::streams
