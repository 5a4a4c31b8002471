#pragma once
#include <QObject>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download::service {
class DownloadService;
}

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using download::service::DownloadService;

class QueueWords;

// The download queue's side of the main window: the list view, "Start
// Download", Cancel, Remove, Clean, the start-up timer and the counters.
// Every press is a call to the download service; what the service reports
// is shown here (the counters, the button) and by QueueWords (the cells
// and boxes).
class QueuePanel : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QTreeView *downloadList;
        QPushButton *startButton;
        QPushButton *cancelButton;
        QPushButton *removeButton;
        QPushButton *cleanButton;
        QProgressBar *filesBar;
        QLabel *filesLabel;
        QTimer *startupTimer;
    };

    QueuePanel(DownloadService &service, MessageService &messages, const Controls &controls,
               QObject *parent = nullptr);

    // Columns, the list from disk, and the question whether to go on.
    void startUp();
    // The window closes: a running fetch stops (its kept bytes stay for the
    // next run) and its row stays as the list file holds it.
    void shutDown();
    void runQueue();
    void updateProgress(int completed, int total);

private slots:
    void startClicked();
    void startupTimerFired();
    void cancelClicked();
    void removeClicked();
    void cleanClicked();

private:
    quint64 selectedRowId() const; // 0: no row selected

    DownloadService &m_service;
    MessageService &m_messages;
    QueueWords *m_words;
    Controls m_ui;
};

} // namespace vidrona::ui::mainwindow
