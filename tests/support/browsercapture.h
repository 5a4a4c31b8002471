#pragma once
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace vidrona::test {

// Stands in for the web browser and the file manager while it lives: every
// http, https and file address the program hands to QDesktopServices is
// recorded instead.
class BrowserCapture : public QObject
{
    Q_OBJECT
public:
    BrowserCapture();
    ~BrowserCapture() override;
    QStringList opened;
public slots:
    void open(const QUrl &url) { opened << url.toString(QUrl::FullyEncoded); }
};

} // namespace vidrona::test
