#pragma once
#include "desktop/ytdlpkeys.h"
#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;

namespace vidrona::ui::preferences {

using desktop::YtDlpPreferences;

// The Preferences' yt-dlp group: which program (found, or a path chosen),
// which browser's cookies it reads, and the program's version and date,
// with one line on how to update it when it is old. The version is asked
// off the window's thread: the window never waits for the program.
class YtDlpGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit YtDlpGroup(QWidget *parent = nullptr);
    ~YtDlpGroup() override;
    void show(const YtDlpPreferences &p);
    YtDlpPreferences values() const;

private:
    void describe();

    QLineEdit *m_program;
    QComboBox *m_cookies;
    QLabel *m_found;
    int m_asked = 0; // the latest question, so an older answer is dropped
};

} // namespace vidrona::ui::preferences
