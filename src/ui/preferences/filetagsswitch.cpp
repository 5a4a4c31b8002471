#include "filetagsswitch.h"

namespace vidrona::ui::preferences {

FileTagsSwitch::FileTagsSwitch(QWidget *parent)
    : QCheckBox(QStringLiteral("Write the title, source and cover into the file"), parent)
{
    setObjectName(QStringLiteral("tagsSwitch"));
    setChecked(true);
    setToolTip(QStringLiteral("Videos joined or remuxed and sound saved on its own (MP4, M4A, MKV, MP3) carry the "
                              "site's title, artist, date, description, address and picture. A file saved as the "
                              "site sends it is left as it is."));
}

} // namespace vidrona::ui::preferences
