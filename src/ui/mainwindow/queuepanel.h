#pragma once
#include <QObject>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace vidrona {

class ListStore;
class QueueRunner;
class Transfer;

// The download queue's side of the main window: the list view, "Start
// Download", Cancel, Remove, Clean, the start-up timer and the counters.
// It owns the queue runner and the transfer that fetches the files.
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

    QueuePanel(ListStore &store, const Controls &controls, QObject *parent = nullptr);

    // Columns, the list from disk, and the question whether to go on.
    void Form_Load();
    // The window closes: a running fetch stops (its kept bytes stay for the
    // next run) and its row stays as the list file holds it.
    void Form_Unload();
    void RunQueue();
    void UpdateProgress();

    // Made with the queue on first use.
    QueueRunner *downloadQueue();
    Transfer *transfer() { downloadQueue(); return iDownload; }

private slots:
    void cmdDownload_Click();
    void Timer1_Timer();
    void cmdCancel_Click();
    void cmdRemove_Click();
    void cmdClean_Click();
    void iDownload_StateChanged(int state);

private:
    quint64 selectedRowId() const; // 0: no row selected

    ListStore &m_store;
    Controls m_ui;
    Transfer *iDownload = nullptr;
    QueueRunner *m_queue = nullptr;
};

} // namespace vidrona
