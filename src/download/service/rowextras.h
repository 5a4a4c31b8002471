#pragma once
#include "desktop/handedaddress.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace vidrona::download::service {

using desktop::RowExtras;

// The extras of the rows, by file address (the row's key): kept in memory,
// and for resuming after a restart in one file per row in a folder only
// the user can enter, beside the list but never in it. The file is what
// libcurl's cookie engine reads, so the cookies reach only their hosts;
// the head lines ride in it as comment lines, which the engine skips.
class RowExtrasStore
{
public:
    static constexpr qint64 MaxFileBytes = 1 << 20;
    static constexpr int MaxFields = 8;
    static constexpr int MaxFieldBytes = 8192;

    explicit RowExtrasStore(const QString &listFolder);

    // The folder of the files: "Cookies" in the list's folder.
    QString folder() const { return m_folder; }
    // Keeps extras for the row of fileUrl; false (and nothing kept) when
    // the file cannot be written. Empty extras forget the row's.
    bool keep(const QString &fileUrl, const RowExtras &extras, QString *error = nullptr);
    // The row's extras, from memory or else from its file.
    RowExtras extrasOf(const QString &fileUrl);
    // The row's file for libcurl; empty when the row has no cookies.
    QString cookieFileOf(const QString &fileUrl);
    // Forgets the row's extras and removes its file.
    void forget(const QString &fileUrl);

    // Where the row's file is kept (whether it exists or not).
    QString pathOf(const QString &fileUrl) const;
    // The file's bytes for extras, and extras read back from such bytes.
    static QByteArray fileOf(const RowExtras &extras);
    static RowExtras extrasFrom(const QByteArray &file);
    // A head line safe to send: one line, "Name: value", bounded.
    static bool isSafeField(const QByteArray &field);

private:
    QString m_folder;
    QHash<QString, RowExtras> m_kept;
};

} // namespace vidrona::download::service
