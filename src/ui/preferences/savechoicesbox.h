#pragma once
#include "desktop/savechoices.h"
#include <QWidget>

class QComboBox;

namespace vidrona {

// The Preferences' choice of what to save of a video that comes in
// several qualities: the best (so Add Video works as it always did), the
// best up to a height, or the sound only; and that sound as sent or as
// MP3 at a LAME level.
class SaveChoicesBox : public QWidget
{
    Q_OBJECT
public:
    explicit SaveChoicesBox(QWidget *parent = nullptr);
    void setChoices(const SaveChoices &choices);
    SaveChoices choices() const;

private:
    QComboBox *cmbQuality = nullptr;
    QComboBox *cmbSoundAs = nullptr;
    QComboBox *cmbMp3Quality = nullptr;
};

} // namespace vidrona
