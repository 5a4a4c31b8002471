#include "listfile.h"
#include "filenames.h"
#include "platform/platform.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "platform/safefile.h"
#include <QStringDecoder>

namespace vidrona::download {

namespace {

// The line that starts at pos, without its line end; pos moves past it.
bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    Q_UNUSED(decoded);
    return !decoder.hasError();
}

QByteArray takeLine(const QByteArray &content, qsizetype &pos)
{
    qsizetype end = content.indexOf('\n', pos);
    const qsizetype next = end < 0 ? content.size() : end + 1;
    if (end < 0)
        end = content.size();
    QByteArray line = content.mid(pos, end - pos);
    if (line.endsWith('\r'))
        line.chop(1);
    pos = next;
    return line;
}

} // namespace

ListFile::ListFile(const QString &folder)
    : m_path(QDir(folder).filePath(QStringLiteral("List")))
{
}

bool ListFile::createEmpty() const
{
    QFile file;
    if (!platform::openKept(file, m_path, QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.close();
    platform::markHiddenSystem(m_path);
    return true;
}

void ListFile::load(DownloadList &list)
{
    list.clear();
    m_overflow.clear();
    m_notRows.clear();
    m_hiddenRows = 0;
    m_notRowLines = 0;
    m_unreadable = false;
    m_readFault = {};
    // Only a missing file is created: an existing one that cannot be read
    // must not be emptied by us, now or by a later save. A link counts as
    // one (dangling or not) and is never read through, nor anything but a
    // plain file (a pipe would never end, a device never stop).
    const QFileInfo info(m_path);
    const bool existed = info.exists() || info.isSymLink();
    if (!existed)
        createEmpty();
    QFile file;
    if (!platform::openKept(file, m_path, QIODevice::ReadOnly, &m_readFault)) {
        m_unreadable = existed;
        return;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_unreadable = true;
        m_readFault = {false, file.errorString()};
        return;
    }
    file.close();
    const LeftAside aside = parseInto(content, list);
    m_overflow = aside.overflow;
    m_notRows = aside.unreadable;
    m_notRowLines = aside.unreadableLines;
    m_hiddenRows = groupCount(m_overflow);
}

namespace {

// The three lines could have been written as a row: a name, an address
// with a "/", a status word, none with a control character. Damaged or
// foreign bytes almost always hold one.
bool isRow(const QString &name, const QString &url, const QString &status)
{
    return !name.isEmpty() && url.contains(QLatin1Char('/')) && isListableUrl(name) && isListableUrl(url)
           && isListableUrl(status);
}

} // namespace

ListFile::LeftAside ListFile::parseInto(const QByteArray &content, DownloadList &list)
{
    const bool utf8 = isValidUtf8(content);
    const auto text = [utf8](const QByteArray &line) {
        return utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line);
    };
    LeftAside aside;
    // A group cut short by the end of the file keeps the previous group's
    // values for the fields it lacks; one that then repeats the row before
    // it is that row, not another.
    QString name, url, status;
    qsizetype pos = 0;
    while (pos < content.size()) {
        if (list.count() >= DownloadList::MaxRows) {
            aside.overflow = content.mid(pos);
            return aside;
        }
        const qsizetype start = pos;
        const QString n = text(takeLine(content, pos));
        QString u = url, s = status;
        int lines = 1;
        if (pos < content.size())
            u = text(takeLine(content, pos)), ++lines;
        if (pos < content.size())
            s = text(takeLine(content, pos)), ++lines;
        if (!isRow(n, u, s)) {
            // One line that is no row; the rows go on from the next.
            pos = start;
            aside.unreadable += takeLine(content, pos) + "\r\n";
            ++aside.unreadableLines;
            continue;
        }
        name = n, url = u, status = s;
        if (lines == 3 || !list.containsUrl(url))
            list.appendRead(name, url, status);
    }
    return aside;
}

int ListFile::groupCount(const QByteArray &text)
{
    const qsizetype lines = text.count('\n') + (text.isEmpty() || text.endsWith('\n') ? 0 : 1);
    return int(qMin<qsizetype>((lines + 2) / 3, INT_MAX));
}

QByteArray ListFile::serialize(const DownloadList &list)
{
    QByteArray out;
    for (const DownloadEntry &e : list.entries()) {
        out += e.fileName.toUtf8() + "\r\n";
        out += e.fileUrl.toUtf8() + "\r\n";
        out += e.statusWord().toUtf8() + "\r\n";
    }
    return out;
}

bool ListFile::writeAll(const DownloadList &list, QString *error) const
{
    return platform::writeFileSafely(m_path, serialize(list) + m_overflow + m_notRows, error);
}

bool ListFile::save(const DownloadList &list, QString *error) const
{
    // Never over a file that could not be read (the notice says why, from
    // unreadable()): no system reason goes with this one.
    if (unreadable()) {
        if (error)
            error->clear();
        return false;
    }
    const bool existed = QFile::exists(m_path);
    const quint32 attributes = existed ? platform::fileAttributes(m_path) : 0;
    if (!writeAll(list, error))
        return false;
    if (existed)
        platform::restoreFileAttributes(m_path, attributes);
    else
        platform::markHiddenSystem(m_path);
    return true;
}

std::optional<ListNotice> ListFile::loadNotice() const
{
    const QString path = QDir::toNativeSeparators(m_path);
    if (unreadable()) {
        ListNotice notice{ListNotice::Kind::Unreadable, path, m_readFault.words};
        notice.notPlain = m_readFault.notPlain;
        return notice;
    }
    if (m_notRowLines > 0)
        return ListNotice{ListNotice::Kind::LinesNotRows, path, {}, m_notRowLines};
    if (m_hiddenRows > 0)
        return ListNotice{ListNotice::Kind::RowsHidden, path, {}, m_hiddenRows};
    return std::nullopt;
}

ListNotice ListFile::saveFailureNotice(const QString &error) const
{
    ListNotice notice{ListNotice::Kind::SaveFailed, QDir::toNativeSeparators(m_path), error};
    if (unreadable())
        notice.onDisk = ListNotice::OnDisk::AsFound;
    else if (!QFileInfo(m_path).isFile())
        notice.onDisk = ListNotice::OnDisk::Nothing;
    return notice;
}

} // namespace vidrona::download
