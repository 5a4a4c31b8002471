#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download::service {
class DownloadService;
}

namespace vidrona::ui::youtube {

using desktop::MessageService;
using download::service::DownloadService;

// Opens the YouTube window from the main window and keeps the one open.
// The window is a window of its own, not one that belongs to the main
// window: it and its download stay when the main window closes, and the
// program ends when the last of them closes.
class YouTubeOpener : public QObject
{
    Q_OBJECT
public:
    // The window's downloads go to folder.
    YouTubeOpener(const QString &folder, MessageService &messages, QObject *parent = nullptr);
    ~YouTubeOpener() override;

    // The service the window's file is fetched through (it may go first).
    void setService(DownloadService *service);
    void showYouTubeWindow();
    // The open YouTube window, if any (it deletes itself when closed).
    QWidget *youTubeWindow() const { return m_youTubeWindow; }

private:
    QString m_folder;
    MessageService &m_messages;
    QString m_cancelRequest; // the window's "stop" flag
    QPointer<QWidget> m_youTubeWindow;
    QPointer<DownloadService> m_service;
};

} // namespace vidrona::ui::youtube
