#include "savechoices.h"
#include "initext.h"

namespace vidrona {

namespace {
const QString QualityKey = QStringLiteral("quality");

// The words the fetch takes (streams::QualityChoice, a layer above).
bool isQualityWord(const QByteArray &word)
{
    for (const char *w : {"best", "2160", "1440", "1080", "720", "480", "sound"})
        if (word == w)
            return true;
    return false;
}
} // namespace

SaveChoices readSaveChoices(const IniText &ini)
{
    SaveChoices c;
    // A word the fetch would not take shows as the best it acts as.
    const QByteArray word = ini.value(QualityKey).value_or(QString()).trimmed().toLower().toLatin1();
    if (isQualityWord(word))
        c.quality = word;
    return c;
}

void writeSaveChoices(IniText &ini, const SaveChoices &choices)
{
    ini.setValue(QualityKey, QString::fromLatin1(isQualityWord(choices.quality) ? choices.quality : "best"));
}

} // namespace vidrona
