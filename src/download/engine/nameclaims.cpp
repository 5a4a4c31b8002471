#include "nameclaims.h"
#include "record.h"
#include "platform/platform.h"
#include "download/filenames.h"
#include "download/keptbytes.h"
#include "download/streams/piecefolder.h"
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <mutex>

namespace vidrona::download::engine {

namespace {

// Recursive: choosing a free name asks isHeld while the registry is locked.
std::recursive_mutex &lock()
{
    static std::recursive_mutex m;
    return m;
}

QSet<QString> &heldKeys()
{
    static QSet<QString> keys;
    return keys;
}

QString keyOf(const QString &path)
{
    return platform::nameKey(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

bool present(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Kept bytes, a record or pieces beside path that an earlier run of
// another fetch left: never this fetch's to continue or to throw away.
bool keepsOthersBytes(const QString &path, const QByteArray &address)
{
    const streams::PieceFolder folder(path);
    if (!present(kept::bytesPath(path)) && !present(kept::recordPath(path)) && !present(folder.path()))
        return false;
    if (address.isEmpty())
        return true;
    const std::optional<FetchRecord> file = readRecord(kept::recordPath(path));
    const std::optional<FetchRecord> pieces = readRecord(folder.recordPath());
    return !(file && file->address == address) && !(pieces && pieces->address == address);
}

} // namespace

NameClaim::~NameClaim()
{
    release();
}

NameClaim::NameClaim(NameClaim &&other) noexcept
    : m_path(std::move(other.m_path)), m_key(std::exchange(other.m_key, QString()))
{
}

NameClaim &NameClaim::operator=(NameClaim &&other) noexcept
{
    if (this != &other) {
        release();
        m_path = std::move(other.m_path);
        m_key = std::exchange(other.m_key, QString());
    }
    return *this;
}

void NameClaim::release()
{
    if (m_key.isEmpty())
        return;
    std::lock_guard guard(lock());
    heldKeys().remove(m_key);
    m_key.clear();
}

NameClaim NameClaims::claim(const QString &finalPath, const QStringList &takenNames, const QByteArray &address)
{
    std::lock_guard guard(lock());
    QString key = keyOf(finalPath);
    if (!heldKeys().contains(key)) {
        heldKeys().insert(key);
        return NameClaim(finalPath, key);
    }
    const QFileInfo wanted(finalPath);
    const QDir folder(wanted.path());
    const auto taken = [&](const QString &name) {
        const QString path = folder.filePath(name);
        return heldKeys().contains(keyOf(path)) || takenNames.contains(name, Qt::CaseInsensitive)
               || kept::isKeptName(name) || keepsOthersBytes(path, address);
    };
    const QString name = nextFreeName(wanted.path(), wanted.fileName(), taken);
    if (name.isEmpty())
        return {};
    const QString path = folder.filePath(name);
    key = keyOf(path);
    heldKeys().insert(key);
    return NameClaim(path, key);
}

bool NameClaims::isHeld(const QString &path)
{
    std::lock_guard guard(lock());
    return heldKeys().contains(keyOf(path));
}

} // namespace vidrona::download::engine
