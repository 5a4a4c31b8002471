// What an extension asks, read and checked whole before anything is added.
#include "browserhost.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cmath>

namespace vidrona::desktop::browserhost {

namespace {

// One field of a cookie line: no tab or line end may cut the line up.
bool plainField(const QString &text, int maxBytes = MaxFieldBytes)
{
    if (text.size() > maxBytes)
        return false;
    for (const QChar c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.isNull())
            return false;
    return true;
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// A cookie as the browsers' cookies API gives it, as a Netscape line for
// libcurl; false for one that cannot be written safely.
bool cookieLine(const QJsonObject &c, QByteArray *line)
{
    const QString name = c.value(QStringLiteral("name")).toString();
    const QString value = c.value(QStringLiteral("value")).toString();
    QString domain = c.value(QStringLiteral("domain")).toString();
    const QString path = c.value(QStringLiteral("path")).toString(QStringLiteral("/"));
    if (domain.startsWith(QLatin1Char('.')))
        domain.remove(0, 1);
    if (domain.isEmpty() || !plainField(domain, 255) || !plainField(name) || !plainField(value) || !plainField(path)
        || domain.contains(QLatin1Char(' ')))
        return false;
    const bool hostOnly = c.value(QStringLiteral("hostOnly")).toBool();
    const double expires = c.value(QStringLiteral("expirationDate")).toDouble(0);
    const QStringList parts{(c.value(QStringLiteral("httpOnly")).toBool() ? QStringLiteral("#HttpOnly_") : QString())
                                + (hostOnly ? domain : QLatin1Char('.') + domain),
                            hostOnly ? QStringLiteral("FALSE") : QStringLiteral("TRUE"), path,
                            c.value(QStringLiteral("secure")).toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"),
                            QString::number(qint64(std::isfinite(expires) ? qMax(0.0, expires) : 0)), name, value};
    *line = parts.join(QLatin1Char('\t')).toUtf8() + '\n';
    return true;
}

// One entry; *why says what is wrong with it.
bool addressOf(const QJsonObject &o, HandedAddress *out, QString *why)
{
    const QUrl url(o.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
    if (!isWebAddress(url) || !plainField(url.toString(), MaxFieldBytes))
        return *why = QStringLiteral("not a web address: %1").arg(o.value(QStringLiteral("url")).toString().left(200)), false;
    out->address = url.toString(QUrl::FullyEncoded);
    const QUrl referrer(o.value(QStringLiteral("referrer")).toString(), QUrl::StrictMode);
    if (isWebAddress(referrer) && plainField(referrer.toString()))
        out->extras.fields << "Referer: " + referrer.toEncoded();
    // Any page may set its title: it is only ever a name, kept to one line.
    QString title = o.value(QStringLiteral("title")).toString().left(MaxTitleChars);
    for (QChar &c : title)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    out->title = title.simplified();
    const QString agent = o.value(QStringLiteral("userAgent")).toString();
    if (!agent.isEmpty() && plainField(agent, 1024))
        out->extras.fields << "User-Agent: " + agent.toUtf8();
    const QJsonArray cookies = o.value(QStringLiteral("cookies")).toArray();
    if (cookies.size() > MaxCookiesPerAddress)
        return *why = QStringLiteral("more than %1 cookies for one address").arg(MaxCookiesPerAddress), false;
    for (const QJsonValue &c : cookies) {
        QByteArray line;
        if (!cookieLine(c.toObject(), &line))
            return *why = QStringLiteral("a cookie that cannot be kept safely"), false;
        out->extras.cookies += line;
    }
    return true;
}

} // namespace

Request parseRequest(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {{}, QStringLiteral("the message is not JSON")};
    const QJsonValue list = doc.object().value(QStringLiteral("addresses"));
    if (!list.isArray() || list.toArray().isEmpty())
        return {{}, QStringLiteral("the message names no address")};
    if (list.toArray().size() > MaxAddresses)
        return {{}, QStringLiteral("more than %1 addresses at once").arg(MaxAddresses)};
    Request out;
    for (const QJsonValue &v : list.toArray()) {
        HandedAddress a;
        QString why;
        if (!v.isObject() || !addressOf(v.toObject(), &a, &why))
            return {{}, why.isEmpty() ? QStringLiteral("an entry that is not an address") : why};
        out.addresses << a;
    }
    return out;
}

} // namespace vidrona::desktop::browserhost
