#pragma once
#include <QCheckBox>

namespace vidrona::ui::preferences {

// The Preferences' switch for the files' own tags (the title, artist,
// date, description, the page's address and the cover) that the files
// Vidrona makes carry; on by default.
class FileTagsSwitch : public QCheckBox
{
    Q_OBJECT
public:
    explicit FileTagsSwitch(QWidget *parent = nullptr);
};

} // namespace vidrona::ui::preferences
