#pragma once
#include "download/service/rowextras.h"
#include "resolve/resolver.h"
#include <QObject>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShortcut;

namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download::service {
class DownloadService;
}
namespace vidrona::resolve {
class ResolverTable;
struct Answer;
struct Found;
}

namespace vidrona::ui::mainwindow {

using desktop::HandedAddress;
using desktop::MessageService;
using desktop::RowExtras;
using download::service::DownloadService;

// The address box and "Add Video": reads the box, asks the resolver table
// to work the address out, and shows the answer: rows in the list, a file
// in the browser, the YouTube window, or the refusal's reason. Addresses
// from elsewhere (the command line, a drop, a second start) come through
// addAddresses, each worked out and added before the next.
class AddVideoPanel : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *addressBox;
        QPushButton *addVideoButton;
        QLabel *sampleLabel;
        QRadioButton *lowQualityOption;
        QRadioButton *highQualityOption;
        QRadioButton *aviQualityOption;
    };

    AddVideoPanel(DownloadService &service, MessageService &messages, const Controls &controls, std::function<void()> openYouTubeWindow,
                  QObject *parent = nullptr);
    ~AddVideoPanel() override;

    void startUp();

    // The address as typed, and the file address the last resolver found.
    QString typedAddress;
    QString foundFileAddress;
    bool resolving() const;
    // Stops the address being worked out (Esc, closing the window): it
    // ends without adding anything or a message.
    void cancelFetch();

    // Adds each address in order with the same outcome as pasting it and
    // pressing "Add Video" (the quality chosen in the window included),
    // each once the one before is worked out and its rows added.
    void addAddresses(const QStringList &addresses);
    // The same, each row an address becomes carrying its extras.
    void addAddresses(const QList<HandedAddress> &addresses);

public slots:
    void addVideoClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void addressChanged();
    void addressClicked();
    void addressFocused();

private:
    void startAddress(const QString &address);
    void takeNext();
    void showAnswer(const resolve::Answer &answer);
    void take(const resolve::Found &found);
    bool addRow(const resolve::Found &row, const QStringList &subtitles = {});
    bool asksFor(const resolve::Found &found) const;
    void askNext();
    void addChosen(resolve::Found row, int index, const QStringList &subtitles);
    bool holdsOff(QObject *watched, QEvent *event);
    int selectedQuality() const;

    DownloadService &m_service;
    MessageService &m_messages;
    Controls m_ui;
    std::function<void()> m_openYouTubeWindow;
    resolve::ResolverTable *m_table;
    QList<HandedAddress> m_waiting; // addresses from elsewhere, not yet started
    RowExtras m_extras;             // those of the address being worked out
    QString m_tabTitle;             // the browser tab's title of that address
    QString m_resolvingKey;         // their file's key while it is worked out; empty: none
    QShortcut *m_escape;   // cancels the address in progress
    // Rows whose quality the user is asked for, one window at a time; the
    // next address waits until they are answered.
    QList<resolve::Found> m_toAsk;
    bool m_asking = false;
};

} // namespace vidrona::ui::mainwindow
