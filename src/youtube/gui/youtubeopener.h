#pragma once
#include <QObject>
#include <QPointer>

class QWidget;

namespace vidrona {

class MessageService;

// Opens the YouTube window from the main window and keeps the one open.
class YouTubeOpener : public QObject
{
    Q_OBJECT
public:
    // The window is made over parentWindow; its downloads go to folder.
    YouTubeOpener(QWidget *parentWindow, const QString &folder, MessageService &messages,
                  QObject *parent = nullptr);

    void showYouTubeWindow();
    // The open YouTube window, if any (it deletes itself when closed).
    QWidget *youTubeWindow() const { return m_youTubeWindow; }

private:
    QWidget *m_parentWindow;
    QString m_folder;
    MessageService &m_messages;
    QString CancelRequest; // the window's "stop" flag
    QPointer<QWidget> m_youTubeWindow;
};

} // namespace vidrona
