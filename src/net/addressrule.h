#pragma once
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkReply;
class QNetworkRequest;

namespace vidrona {

// True when host names this machine, a link-local address or a private
// network: a literal address in one of those ranges, or a localhost name.
bool isInternalHost(const QString &host);

// Whether a redirect from `from` to `to` may be followed: only to http or
// https, never from https down to http, and never from a public address
// into this machine or a private network. A relative `to` counts from `from`.
bool isRedirectAllowed(const QUrl &from, const QUrl &to);

// The reason given for a redirect that is not followed.
QString redirectRefusedText(const QUrl &to);

// For the network layer's own redirects: makes request ask before each one.
void askBeforeRedirects(QNetworkRequest &request);
// Follows each redirect of reply that isRedirectAllowed; calls refused
// (with the reason) for the first one that is not, and follows nothing more.
// The caller then ends the reply.
void guardRedirects(QNetworkReply *reply, std::function<void(const QString &)> refused);

} // namespace vidrona
