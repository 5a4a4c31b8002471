#include "filetagskey.h"
#include "initext.h"

namespace vidrona::desktop {

namespace {
const QString TagsKey = QStringLiteral("tags");
} // namespace

bool readFileTags(const IniText &ini)
{
    const QString word = ini.value(TagsKey).value_or(QString()).trimmed().toLower();
    return !(word == QLatin1String("false") || word == QLatin1String("0") || word == QLatin1String("no")
             || word == QLatin1String("off"));
}

void writeFileTags(IniText &ini, bool on)
{
    ini.setValue(TagsKey, on ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace vidrona::desktop
