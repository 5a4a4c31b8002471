#include "browserhost.h"
#include "platform/hoststdio.h"
#include <QJsonDocument>
#include <QJsonObject>

namespace vidrona::desktop::browserhost {

namespace {

enum class Got { All, End, TimedOut, Failed };

// Exactly size bytes from fd, waiting no later than the deadline.
Got readExactly(int fd, char *into, qint64 size, QDeadlineTimer deadline, qint64 *taken)
{
    *taken = 0;
    while (*taken < size) {
        qint64 count = 0;
        switch (platform::readSomeWithin(fd, into + *taken, size - *taken, deadline, &count)) {
        case platform::ReadSome::Bytes: *taken += count; break;
        case platform::ReadSome::End: return Got::End;
        case platform::ReadSome::TimedOut: return Got::TimedOut;
        case platform::ReadSome::Failed: return Got::Failed;
        }
    }
    return Got::All;
}

Reading::Is readingOf(Got got, qint64 taken)
{
    switch (got) {
    case Got::All: return Reading::Is::Message;
    case Got::End: return taken == 0 ? Reading::Is::Nothing : Reading::Is::CutShort;
    case Got::TimedOut: return Reading::Is::TimedOut;
    case Got::Failed: break;
    }
    return Reading::Is::Failed;
}

} // namespace

Reading readMessage(int fd, QDeadlineTimer deadline)
{
    Reading out;
    quint32 length = 0;
    qint64 taken = 0;
    const Got head = readExactly(fd, reinterpret_cast<char *>(&length), sizeof length, deadline, &taken);
    if (head != Got::All)
        return {readingOf(head, taken), {}};
    if (qint64(length) > MaxMessageBytes)
        return {Reading::Is::TooLarge, {}};
    out.json.resize(qsizetype(length));
    const Got body = readExactly(fd, out.json.data(), length, deadline, &taken);
    out.is = body == Got::End ? Reading::Is::CutShort : readingOf(body, taken);
    return out;
}

QByteArray frame(const QByteArray &json)
{
    const quint32 length = quint32(json.size());
    QByteArray out(reinterpret_cast<const char *>(&length), sizeof length);
    return out + json;
}

QStringList allowedIds()
{
    return {QString::fromLatin1(ChromiumExtensionId), QString::fromLatin1(FirefoxAddonId)};
}

bool callerAllowed(const QStringList &arguments, const QStringList &ids, QString *who)
{
    static const QString chromium = QStringLiteral("chrome-extension://");
    QString id;
    for (const QString &a : arguments) {
        if (a.startsWith(chromium))
            id = a.mid(chromium.size()).section(QLatin1Char('/'), 0, 0);
    }
    if (id.isEmpty() && arguments.size() >= 2 && arguments.at(0).endsWith(QLatin1String(".json")))
        id = arguments.at(1); // Firefox: the manifest's path, then the add-on's id
    if (who)
        *who = id.isEmpty() ? QStringLiteral("an unnamed caller") : id;
    return !id.isEmpty() && ids.contains(id);
}

QByteArray answer(int added, const QString &error)
{
    QJsonObject o{{QStringLiteral("ok"), error.isEmpty()}};
    if (error.isEmpty())
        o.insert(QStringLiteral("added"), added);
    else
        o.insert(QStringLiteral("error"), error);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace vidrona::desktop::browserhost
