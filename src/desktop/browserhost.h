#pragma once
#include "handedaddress.h"
#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>

// The native messaging host: what a browser extension sends is read here,
// bounded, checked and handed to the window that has the list. The
// browser starts it with the caller's identity as arguments and speaks to
// it on standard input and output: a 4-byte length in the machine's own
// byte order, then that many bytes of JSON, each way.
namespace vidrona::desktop::browserhost {

inline constexpr qint64 MaxMessageBytes = 1 << 20;
inline constexpr int MaxAddresses = 1000;
inline constexpr int ExchangeMs = 5000;
inline constexpr int MaxCookiesPerAddress = 300;
inline constexpr int MaxFieldBytes = 4096;

// The host's name in the browsers' manifests, and the extensions that may
// call it: the Chromium extension's id (fixed by the key in its manifest)
// and the Firefox add-on's.
inline constexpr char HostName[] = "org.vidrona.browser";
inline constexpr char ChromiumExtensionId[] = "hiemkdcfblalgmlpnmnopjohncebladp";
inline constexpr char FirefoxAddonId[] = "browser@vidrona.org";

struct Reading {
    enum class Is { Message, Nothing, TooLarge, CutShort, TimedOut, Failed };
    Is is = Is::Nothing;
    QByteArray json;
};
// Reads one framed message from fd before the deadline; a length over
// MaxMessageBytes is refused before any of its bytes are read.
Reading readMessage(int fd, QDeadlineTimer deadline);
// json framed for the browser.
QByteArray frame(const QByteArray &json);

// The caller as the browser names it: Chromium passes the extension's
// origin "chrome-extension://ID/", Firefox the manifest's path and the
// add-on's id. True when it is one of allowedIds; *who names it.
bool callerAllowed(const QStringList &arguments, const QStringList &allowedIds, QString *who);
QStringList allowedIds();

struct Request {
    QList<HandedAddress> addresses;
    QString refusal; // non-empty: nothing is added, and this says why
};
// {"addresses":[{"url","referrer","title","userAgent","cookies":[...]}]},
// every part checked; any fault refuses the whole message.
Request parseRequest(const QByteArray &json);

// The answer the extension shows: {"ok":true,"added":N} or
// {"ok":false,"error":"..."}.
QByteArray answer(int added, const QString &error = QString());

} // namespace vidrona::desktop::browserhost

namespace vidrona::desktop::browserhost {

// Hands the addresses to the window that has the list in listFolder,
// starting program (without addresses) when none runs, before the
// deadline. False with *why when they were not taken.
bool handToWindow(const QList<HandedAddress> &addresses, const QString &listFolder, const QString &program,
                  QDeadlineTimer deadline, QString *why);

// One whole exchange: the caller checked, one message read from inFd,
// handed over, the answer framed on outFd. The exit code: 0 when added.
int serve(const QStringList &arguments, int inFd, int outFd, const QString &listFolder, const QString &program);

} // namespace vidrona::desktop::browserhost
