#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// A file's name belongs to one fetch at a time, across the queue's rows
// and the YouTube window: the kept bytes, their record and a stream's
// pieces all hang off that name, so two fetches sharing it would write
// into each other's bytes. Every fetch claims its final path before it
// touches anything beside it, and holds it until it ends:
//   NameClaim claim = NameClaims::claim(finalPath, takenNames, address);
//   if (!claim.held()) ...;          // no free name at all
//   fetch into claim.path() ...      // released when claim goes
// Process-wide, for any thread.
namespace vidrona::download::engine {

class NameClaim
{
public:
    NameClaim() = default;
    ~NameClaim();
    NameClaim(NameClaim &&other) noexcept;
    NameClaim &operator=(NameClaim &&other) noexcept;
    NameClaim(const NameClaim &) = delete;
    NameClaim &operator=(const NameClaim &) = delete;

    bool held() const { return !m_key.isEmpty(); }
    // The final path this fetch owns: the one asked for, or the next free
    // one when another running fetch held that.
    QString path() const { return m_path; }

private:
    friend struct NameClaims;
    NameClaim(const QString &path, const QString &key) : m_path(path), m_key(key) {}
    void release();
    QString m_path;
    QString m_key;
};

struct NameClaims {
    // finalPath when no running fetch holds it (kept bytes there are this
    // fetch's to continue or replace, as ever). Otherwise the first of
    // "base (2).ext", "base (3).ext", ... that no running fetch holds, no
    // file or link holds, takenNames (names of finalPath's folder others
    // hold) does not name, and that has no kept bytes, pieces or record
    // beside it unless their record names address (this fetch's own,
    // left by an earlier run of it). Not held when none is free.
    static NameClaim claim(const QString &finalPath, const QStringList &takenNames = {},
                           const QByteArray &address = {});
    // True while a running fetch holds path.
    static bool isHeld(const QString &path);
};

} // namespace vidrona::download::engine
