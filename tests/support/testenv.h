#pragma once
#include "server.h"
#include "net/pagerequest.h"
#include <QByteArray>
#include <QString>
#include <memory>

namespace vidrona::test {

using net::PageIdleTimeoutMs;
using net::PageRequest;
using net::PageResult;

// A failure's codes and facts on one line, for a failed check's message
// (the sentence is the window's: ui/mainwindow/failuretexts.h).
QByteArray describe(const net::Failure &failure);

// Writes bytes to folder/name; returns the path.
QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// (pagefetch.cpp, for tests of the resolve layer and above.)
// Runs FetchPage (viaService: OpenURL) of address through request, or
// through a request of its own with idleMs as its idle time that takes
// the address as the window does (a typed page is the user's to reach,
// the link service's is not), and waits for its end.
PageResult fetchPage(const QString &address, bool viaService = false, int idleMs = PageIdleTimeoutMs);
PageResult fetchPage(PageRequest &request, const QString &address, bool viaService = false);
// The text the resolvers go on with: the body, empty when the fetch failed.
QString fetchPageText(const QString &address, bool viaService = false, int idleMs = PageIdleTimeoutMs);

// A local web server on a loopback port, set as the application's proxy
// for as long as it lives, so real site addresses reach it.
class LocalWeb
{
public:
    LocalWeb();
    ~LocalWeb();
    testweb::Server &server() { return *m_server; }
    bool ok() const { return m_ok; }
private:
    std::unique_ptr<testweb::Server> m_server;
    bool m_ok = false;
};

} // namespace vidrona::test
