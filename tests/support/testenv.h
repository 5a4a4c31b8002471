#pragma once
#include "server.h"
#include <QByteArray>
#include <QString>
#include <memory>

namespace vidrona::test {

// Writes bytes to folder/name; returns the path.
QString writeFile(const QString &folder, const QString &name, const QByteArray &bytes);
QByteArray readFile(const QString &path);

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
