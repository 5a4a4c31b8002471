#pragma once
#include <QObject>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace vidrona {

class DownloadService;
class MessageService;
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
        QTreeView *lDownload;
        QPushButton *cmdDownload;
        QPushButton *cmdCancel;
        QPushButton *cmdRemove;
        QPushButton *cmdClean;
        QProgressBar *P1;
        QLabel *lblProgress;
        QTimer *Timer1;
    };

    QueuePanel(DownloadService &service, MessageService &messages, const Controls &controls,
               QObject *parent = nullptr);

    // Columns, the list from disk, and the question whether to go on.
    void Form_Load();
    // The window closes: a running fetch stops (its kept bytes stay for the
    // next run) and its row stays as the list file holds it.
    void Form_Unload();
    void RunQueue();
    void UpdateProgress(int completed, int total);

private slots:
    void cmdDownload_Click();
    void Timer1_Timer();
    void cmdCancel_Click();
    void cmdRemove_Click();
    void cmdClean_Click();

private:
    quint64 selectedRowId() const; // 0: no row selected

    DownloadService &m_service;
    MessageService &m_messages;
    QueueWords *m_words;
    Controls m_ui;
};

} // namespace vidrona
