// Takes the pictures of the Preferences' choice of what to save, one per
// choice, for the documentation: the window as each choice leaves it.
// Usage: QT_QPA_PLATFORM=offscreen savechoicesshots OUTPUT-FOLDER
#include "desktop/preferences.h"
#include "support/recordingmessages.h"
#include "ui/preferences/preferenceswindow.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::ui::preferences;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: savechoicesshots OUTPUT-FOLDER\n");
        return 2;
    }
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    PreferencesWindow w(store, QStringLiteral("/home/user/Downloads/Vidrona"), {}, messages);
    w.show();
    auto *quality = w.findChild<QComboBox *>(QStringLiteral("qualityBox"));
    auto *soundAs = w.findChild<QComboBox *>(QStringLiteral("soundAsBox"));
    int failed = 0;
    for (int i = 0; i <= quality->count(); ++i) {
        const bool mp3 = i == quality->count(); // after them all: sound only as MP3
        quality->setCurrentIndex(mp3 ? quality->findData(QByteArray("sound")) : i);
        soundAs->setCurrentIndex(mp3 ? 1 : 0);
        app.processEvents();
        const QString name = QStringLiteral("preferences-%1.png")
                                 .arg(mp3 ? QStringLiteral("mp3") : quality->currentData().toString());
        if (!w.grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(name)))
            ++failed, std::fprintf(stderr, "savechoicesshots: cannot write %s\n", qPrintable(name));
    }
    // The files' own tags turned off, beside the default choice.
    quality->setCurrentIndex(0);
    soundAs->setCurrentIndex(0);
    w.findChild<QCheckBox *>(QStringLiteral("tagsSwitch"))->setChecked(false);
    app.processEvents();
    if (!w.grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("preferences-tags-off.png"))))
        ++failed, std::fprintf(stderr, "savechoicesshots: cannot write preferences-tags-off.png\n");
    // The subtitles: two languages, beside the video and inside it.
    w.findChild<QCheckBox *>(QStringLiteral("tagsSwitch"))->setChecked(true);
    w.findChild<QLineEdit *>(QStringLiteral("subtitlesBox"))->setText(QStringLiteral("en, de"));
    auto *place = w.findChild<QComboBox *>(QStringLiteral("subtitlesPlaceBox"));
    for (int i = 0; i < place->count(); ++i) {
        place->setCurrentIndex(i);
        app.processEvents();
        const QString name = QStringLiteral("preferences-subtitles-%1.png").arg(i == 0 ? "beside" : "inside");
        if (!w.grab().save(QDir(QString::fromLocal8Bit(argv[1])).filePath(name)))
            ++failed, std::fprintf(stderr, "savechoicesshots: cannot write %s\n", qPrintable(name));
    }
    return failed ? 1 : 0;
}
