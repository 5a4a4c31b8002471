#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>

// Where the outside program yt-dlp is, and how old it is. Vidrona never
// links it or runs it through a shell: it is started as a program with
// its arguments, and only when found.
namespace vidrona::resolve::ytdlp {

struct Settings {
    QString program;        // a path the user set; empty: look on PATH, then ~/.local/bin
    QString cookiesBrowser; // "firefox", "chromium", ...; empty: no browser's cookies
};

// The settings every run reads (the Preferences set them; any thread).
void setSettings(const Settings &settings);
Settings settings();

// The program to run: the path set, when it is an executable file; else
// yt-dlp on PATH, else in ~/.local/bin (where pip and pipx put a current
// one); empty when there is none.
QString findProgram(const Settings &settings);

// What the user chose to save of a video that comes in several qualities
// (streams::QualityChoice's key; mp3: sound only saved as MP3): a new
// row's formats are chosen by it and its name says it.
struct SaveWish {
    QByteArray quality = "best";
    bool mp3 = false;
};
// Set by the Preferences; any thread.
void setSaveWish(const SaveWish &wish);
SaveWish saveWish();

struct Version {
    QString text; // as the program says it, "2023.03.04"
    QDate date;   // read from it; invalid when it is not a date
};

// program --version, bounded to a few seconds; empty text when it fails.
Version versionOf(const QString &program);

// Older releases stop reading the sites that change: past this age the
// Preferences say how to get a current one.
inline constexpr int StaleAfterDays = 60;
// One line on how to update, or empty when version is recent enough.
QString updateAdvice(const Version &version, const QDate &today);

} // namespace vidrona::resolve::ytdlp
