#pragma once
#include "desktop/messages.h"
#include "desktop/preferences.h"
#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vidrona::ui::preferences {

using desktop::MessageService;
using desktop::PreferenceStore;
using desktop::Preferences;

class SaveChoicesBox;

// The Preferences window: the download folder with a chooser, the rows
// fetched at once, the connections per file, the speed limit and the
// desktop's notifications, and which quality of a video to save. Its fields take only values in range and show
// each stored value as it acts; when the file was left alone (a link, a
// pipe, too large) a line at the top says so. OK stores them, Cancel
// leaves everything as it was.
class PreferencesWindow : public QDialog
{
    Q_OBJECT
public:
    // Asks the user for a folder, starting at the one given; empty: none chosen.
    using FolderChooser = std::function<QString(QWidget *parent, const QString &start)>;

    PreferencesWindow(const PreferenceStore &store, const QString &defaultFolder, FolderChooser chooser,
                      MessageService &messages, QWidget *parent = nullptr);
    Preferences preferences() const;

signals:
    // OK was pressed and the values are stored.
    void changed(const vidrona::desktop::Preferences &preferences);

private:
    void build();
    void showValues(const Preferences &p);
    void chooseFolder();
    void accept() override;

    const PreferenceStore &m_store;
    QString m_defaultFolder;
    FolderChooser m_chooser;
    MessageService &m_messages;
    QLabel *noticeLabel = nullptr;
    QLineEdit *folderBox = nullptr;
    QSpinBox *simultaneousBox = nullptr;
    QSpinBox *connectionsBox = nullptr;
    QSpinBox *speedLimitBox = nullptr;
    QCheckBox *notifyBox = nullptr;
    class YtDlpGroup *ytDlpGroup = nullptr;
    SaveChoicesBox *saveChoices = nullptr;
    QCheckBox *tagsSwitch = nullptr; // FileTagsSwitch
};

} // namespace vidrona::ui::preferences
