#pragma once
#include <QByteArray>
#include <QString>

// What the user chose to save of a video that comes in several qualities,
// kept in the preferences file under a plain key a person may edit:
//   quality = best | 2160 | 1440 | 1080 | 720 | 480 | sound
namespace vidrona {

class IniText;

struct SaveChoices {
    QByteArray quality = "best"; // the word above; anything else reads as best

    bool operator==(const SaveChoices &) const = default;
};

SaveChoices readSaveChoices(const IniText &ini);
void writeSaveChoices(IniText &ini, const SaveChoices &choices);

} // namespace vidrona
