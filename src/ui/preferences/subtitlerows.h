#pragma once
#include <QStringList>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QWidget;

namespace vidrona::ui::preferences {

// The Preferences' rows for subtitles: "Subtitles:" none, or the
// languages to save ("en, de"); and whether they go beside the video as
// .srt files or inside it.
class SubtitleRows
{
public:
    // The rows go at the end of form, their widgets owned by parent.
    SubtitleRows(QWidget *parent, QFormLayout *form);
    void set(const QStringList &languages, bool inside);
    QStringList languages() const;
    bool inside() const;

private:
    QLineEdit *subtitlesBox = nullptr;
    QComboBox *subtitlesPlaceBox = nullptr;
};

} // namespace vidrona::ui::preferences
