#pragma once
#include "desktop/savechoices.h"
#include <QWidget>
#include <memory>

class QComboBox;

namespace vidrona::ui::preferences {

using desktop::SaveChoices;

class SubtitleRows;

// The Preferences' choice of what to save of a video that comes in
// several qualities: the best (so Add Video works as it always did), the
// best up to a height, or the sound only; and that sound as sent or as
// MP3 at a LAME level; and the subtitles to save with it.
class SaveChoicesBox : public QWidget
{
    Q_OBJECT
public:
    explicit SaveChoicesBox(QWidget *parent = nullptr);
    ~SaveChoicesBox() override;
    void setChoices(const SaveChoices &choices);
    SaveChoices choices() const;

private:
    QComboBox *qualityBox = nullptr;
    QComboBox *soundAsBox = nullptr;
    QComboBox *mp3QualityBox = nullptr;
    std::unique_ptr<SubtitleRows> m_subtitles;
};

} // namespace vidrona::ui::preferences
