#include "cookielines.h"

namespace vidrona::download::sitevideo {

void addCookieHeader(const QByteArray &header, const QString &host, QList<QByteArray> &lines)
{
    for (const QByteArray &pair : header.split(';')) {
        const int eq = pair.indexOf('=');
        if (eq > 0 && lines.size() < MaxCookies)
            lines.append(host.toLatin1() + "\tFALSE\t/\tFALSE\t0\t" + pair.left(eq).trimmed() + '\t' + pair.mid(eq + 1).trimmed());
    }
}

void addCookieField(const QString &field, const QString &host, QList<QByteArray> &lines)
{
    QByteArray name, value, domain = host.toLatin1(), path = "/", secure = "FALSE", expires = "0";
    const auto flush = [&] {
        if (!name.isEmpty() && lines.size() < MaxCookies)
            lines.append(domain + '\t' + (domain.startsWith('.') ? "TRUE" : "FALSE") + '\t' + path + '\t' + secure + '\t'
                         + expires + '\t' + name + '\t' + value);
        name.clear();
        domain = host.toLatin1(), path = "/", secure = "FALSE", expires = "0";
    };
    for (const QString &part : field.split(QLatin1Char(';'))) {
        const QByteArray p = part.trimmed().toLatin1();
        const int eq = p.indexOf('=');
        const QByteArray key = (eq < 0 ? p : p.left(eq)).toLower();
        if (key == "domain")
            domain = p.mid(eq + 1);
        else if (key == "path")
            path = p.mid(eq + 1);
        else if (key == "secure")
            secure = "TRUE";
        else if (key == "expires")
            expires = p.mid(eq + 1);
        else if (eq > 0) {
            flush();
            name = p.left(eq);
            value = p.mid(eq + 1);
        }
    }
    flush();
}

bool isCookieSafe(const QByteArray &line)
{
    return !line.contains('\n') && !line.contains('\r') && line.count('\t') == 6;
}

} // namespace vidrona::download::sitevideo
