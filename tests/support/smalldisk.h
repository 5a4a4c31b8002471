#pragma once
#include <QString>
#include <QTemporaryDir>

namespace vidrona::test {

// A real, small disk: a tmpfs of a few KiB mounted on a temporary folder
// for as long as this lives. Mounting needs root; when it cannot be done,
// ok() is false and whyNot() says why (the caller skips with it).
class SmallDisk
{
public:
    explicit SmallDisk(int kib);
    ~SmallDisk();
    bool ok() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_dir.path(); }
    // Writes a filler file until not one more byte fits.
    bool fill();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_whyNot;
};

} // namespace vidrona::test
