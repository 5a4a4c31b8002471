#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// What the user chose to save of a video that comes in several qualities,
// kept in the preferences file under a plain key a person may edit:
//   quality = best | 2160 | 1440 | 1080 | 720 | 480 | sound | ask
//   soundAs = sent | mp3          (sound only: as the site sends it, or MP3)
//   mp3Quality = 0 ... 4          (LAME's V level of that MP3: 0 the best)
// ask: a window lists the qualities when a video comes in several;
// and the subtitles (subtitlekeys.h).
namespace vidrona::desktop {

class IniText;

struct SaveChoices {
    QByteArray quality = "best"; // the word above; anything else reads as best
    bool mp3 = false;            // soundAs = mp3
    int mp3Quality = 2;          // 0 to 4
    QStringList subtitles;        // languages ("en"); empty: none
    bool subtitlesInside = false; // into the video file, not beside it

    // For the fetches: LAME's V level when sound only is saved as MP3, else -1.
    int mp3Level() const { return mp3 ? mp3Quality : -1; }

    bool operator==(const SaveChoices &) const = default;
};

SaveChoices readSaveChoices(const IniText &ini);
void writeSaveChoices(IniText &ini, const SaveChoices &choices);

} // namespace vidrona::desktop
