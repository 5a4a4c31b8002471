// Which quality of a video to save: the plain key in the preferences file
// (as a person may edit it), the Preferences window's choice stored by OK,
// and the name a stream's row gets from it, which its fetch then follows;
// the subtitles' keys and rows the same way.
#include "desktop/initext.h"
#include "desktop/preferences.h"
#include "download/service/downloadservice.h"
#include "download/streams/qualitychoice.h"
#include "support/recordingmessages.h"
#include "ui/mainwindow/listtexts.h"
#include "support/testenv.h"
#include "ui/preferences/preferenceswindow.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
template <typename T> T *ctl(const QObject &window, const char *name)
{
    T *w = window.findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no %s", name);
    return w;
}
} // namespace

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::download::service;
using namespace vidrona::ui::mainwindow;
using namespace vidrona::ui::preferences;

class TestSaveChoices : public QObject
{
    Q_OBJECT
private slots:
    void fileKey_data();
    void fileKey();
    void window_data();
    void window();
    void rowName_data();
    void rowName();
    void subtitleKeys_data();
    void subtitleKeys();
    void subtitleRows_data();
    void subtitleRows();
};

void TestSaveChoices::fileKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<int>("mp3Level"); // -1: the sound as sent
    QTest::newRow("none: the best, as sent")
        << QByteArray("[General]\nnotify=true\n") << QByteArray("best") << -1;
    QTest::newRow("720") << QByteArray("[General]\nquality=720\n") << QByteArray("720") << -1;
    QTest::newRow("sound as MP3 V0, as typed")
        << QByteArray("[General]\nquality = Sound \nsoundAs = MP3\nmp3Quality=0\n") << QByteArray("sound") << 0;
    QTest::newRow("MP3 without a level: V2")
        << QByteArray("[General]\nquality=sound\nsoundAs=mp3\n") << QByteArray("sound") << 2;
    QTest::newRow("a level past V4: V4")
        << QByteArray("[General]\nsoundAs=mp3\nmp3Quality=9\n") << QByteArray("best") << 4;
    QTest::newRow("ask, as typed") << QByteArray("[General]\nquality= Ask\n") << QByteArray("ask") << -1;
    QTest::newRow("a height not offered; a kind not offered")
        << QByteArray("[General]\nquality=1000\nsoundAs=ogg\n") << QByteArray("best") << -1;
}

void TestSaveChoices::fileKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, quality);
    QFETCH(int, mp3Level);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "Vidrona.ini", file);
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    Preferences p = store.load();
    QCOMPARE(p.save.quality, quality);
    QCOMPARE(p.save.mp3Level(), mp3Level);
    // Written back under the same plain keys.
    p.save.quality = "480";
    p.save.mp3 = !p.save.mp3;
    p.save.mp3Quality = 3;
    QVERIFY(store.save(p));
    const QByteArray text = test::readFile(store.path());
    QVERIFY2(text.contains("\nquality=480\n"), text.constData());
    QVERIFY2(text.contains(mp3Level < 0 ? "\nsoundAs=mp3\n" : "\nsoundAs=sent\n"), text.constData());
    QVERIFY2(text.contains("\nmp3Quality=3\n"), text.constData());
    QCOMPARE(readSaveChoices(IniText(text)), p.save);
}

void TestSaveChoices::window_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("soundAs");
    QTest::addColumn<int>("mp3Level");
    QTest::newRow("Best") << "Best" << QByteArray("best") << "As sent" << -1;
    QTest::newRow("Up to 2160p") << "Up to 2160p" << QByteArray("2160") << "As sent" << -1;
    QTest::newRow("Up to 1440p") << "Up to 1440p" << QByteArray("1440") << "As sent" << -1;
    QTest::newRow("Up to 1080p") << "Up to 1080p" << QByteArray("1080") << "As sent" << -1;
    QTest::newRow("Up to 720p") << "Up to 720p" << QByteArray("720") << "As sent" << -1;
    QTest::newRow("Up to 480p") << "Up to 480p" << QByteArray("480") << "As sent" << -1;
    QTest::newRow("Sound only") << "Sound only" << QByteArray("sound") << "As sent" << -1;
    QTest::newRow("Sound only as MP3 V0") << "Sound only" << QByteArray("sound") << "MP3" << 0;
    QTest::newRow("Sound only as MP3 V4") << "Sound only" << QByteArray("sound") << "MP3" << 4;
    QTest::newRow("Ask me") << "Ask me" << QByteArray("ask") << "As sent" << -1;
}

void TestSaveChoices::window()
{
    QFETCH(QString, item);
    QFETCH(QByteArray, stored);
    QFETCH(QString, soundAs);
    QFETCH(int, mp3Level);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    PreferencesWindow w(store, dir.path(), {}, messages);
    auto *box = ctl<QComboBox>(w, "qualityBox");
    QCOMPARE(box->currentText(), QString("Best")); // the default: Add Video works as it always did
    box->setCurrentIndex(box->findText(item));
    QCOMPARE(box->currentText(), item);
    auto *level = ctl<QComboBox>(w, "mp3QualityBox");
    QVERIFY(!level->isEnabled()); // of use for an MP3 only
    ctl<QComboBox>(w, "soundAsBox")->setCurrentText(soundAs);
    QCOMPARE(level->isEnabled(), mp3Level >= 0);
    if (mp3Level >= 0)
        level->setCurrentText(QStringLiteral("V%1").arg(mp3Level));
    w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(store.load().save.quality, stored);
    QCOMPARE(store.load().save.mp3Level(), mp3Level);
    PreferencesWindow again(store, dir.path(), {}, messages);
    QCOMPARE(ctl<QComboBox>(again, "qualityBox")->currentText(), item);
}

void TestSaveChoices::rowName_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("fetched"); // what the row's fetch takes from its name
    QTest::addColumn<int>("mp3Level");
    const QString hls = "http://media.test/talk/master.m3u8", dash = "http://media.test/talk/index.mpd";
    QTest::newRow("best") << QByteArray("best") << hls << "Talk.mp4" << "Talk.mp4" << QByteArray("best") << -1;
    QTest::newRow("720, HLS") << QByteArray("720") << hls << "Talk.mp4" << "Talk (720p).mp4" << QByteArray("720") << -1;
    QTest::newRow("2160, DASH") << QByteArray("2160") << dash << "Talk.mp4" << "Talk (2160p).mp4" << QByteArray("2160")
                                << 2;
    QTest::newRow("sound") << QByteArray("sound") << hls << "Talk.mp4" << "Talk (sound).m4a" << QByteArray("sound")
                           << -1;
    QTest::newRow("sound as MP3") << QByteArray("sound") << hls << "Talk.mp4" << "Talk (sound).mp3"
                                  << QByteArray("sound") << 1;
    QTest::newRow("a plain file keeps its name") << QByteArray("720") << "http://media.test/talk.mp4" << "Talk.mp4"
                                                 << "Talk.mp4" << QByteArray("best") << -1;
    // Asking is the window's: a row added without it (one quality only) is the best.
    QTest::newRow("ask, not asked") << QByteArray("ask") << hls << "Talk.mp4" << "Talk.mp4" << QByteArray("best") << -1;
    QTest::newRow("a title in brackets is no choice") << QByteArray("best") << hls << "Talk (live).mp4"
                                                      << "Talk (live).mp4" << QByteArray("best") << -1;
}

void TestSaveChoices::rowName()
{
    QFETCH(QByteArray, quality);
    QFETCH(QString, address);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(QByteArray, fetched);
    QFETCH(int, mp3Level);
    QTemporaryDir dir;
    test::RecordingMessages messages;
    DownloadService service(dir.path(), dir.path());
    sayListNotices(service, messages);
    service.load();
    service.apply({1, 8, 0, dir.path(), quality, mp3Level});
    QCOMPARE(service.settings().quality, quality);
    QCOMPARE(service.settings().mp3Quality, mp3Level);
    QVERIFY(service.add(address, name));
    QCOMPARE(service.list().at(0).fileName, shown);
    QCOMPARE(download::streams::choiceInName(shown).key(), fetched);
    QVERIFY(test::readFile(QDir(dir.path()).filePath("List")).contains(shown.toUtf8()));
}

void TestSaveChoices::subtitleKeys_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<QByteArray>("written"); // the keys' lines as written back
    QTest::newRow("none: the default") << QByteArray("[General]\nnotify=true\n") << QStringList{} << false
                                       << QByteArray("\nsubtitles=none\n\nsubtitlesInside=false\n");
    // (A value with a comma is written quoted, as the file's format keeps one.)
    QTest::newRow("a list, as typed") << QByteArray("[General]\nsubtitles = EN, de ,en\nsubtitlesInside = True\n")
                                      << QStringList{"en", "de"} << true
                                      << QByteArray("\nsubtitles=\"en, de\"\n\nsubtitlesInside=true\n");
    QTest::newRow("none, said so") << QByteArray("[General]\nsubtitles=none\nsubtitlesInside=yes\n") << QStringList{}
                                   << false << QByteArray("\nsubtitles=none\n\nsubtitlesInside=false\n");
    QTest::newRow("what is no language left out")
        << QByteArray("[General]\nsubtitles=../en, pt-BR, e n\n") << QStringList{"pt-br"} << false
        << QByteArray("\nsubtitles=pt-br\n\nsubtitlesInside=false\n");
}

void TestSaveChoices::subtitleKeys()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, languages);
    QFETCH(bool, inside);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "Vidrona.ini", file);
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    const Preferences p = store.load();
    QCOMPARE(p.save.subtitles, languages);
    QCOMPARE(p.save.subtitlesInside, inside);
    QVERIFY(store.save(p));
    const QByteArray text = test::readFile(store.path());
    for (const QByteArray &line : written.split('\n'))
        if (!line.isEmpty())
            QVERIFY2(text.contains('\n' + line + '\n'), text.constData());
    QCOMPARE(readSaveChoices(IniText(text)), p.save);
}

void TestSaveChoices::subtitleRows_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<QString>("shown"); // when the window opens again
    QTest::newRow("none") << "" << "Beside the video" << QStringList{} << false << "";
    QTest::newRow("beside") << "en, de" << "Beside the video" << QStringList{"en", "de"} << false << "en, de";
    QTest::newRow("inside") << "EN,fr" << "Inside the video" << QStringList{"en", "fr"} << true << "en, fr";
}

void TestSaveChoices::subtitleRows()
{
    QFETCH(QString, typed);
    QFETCH(QString, place);
    QFETCH(QStringList, stored);
    QFETCH(bool, inside);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    PreferencesWindow w(store, dir.path(), {}, messages);
    auto *languages = ctl<QLineEdit>(w, "subtitlesBox");
    auto *where = ctl<QComboBox>(w, "subtitlesPlaceBox");
    QCOMPARE(languages->text(), QString()); // the default: none
    QVERIFY(!where->isEnabled());
    languages->setText(typed);
    QCOMPARE(where->isEnabled(), !stored.isEmpty()); // of use only with languages
    where->setCurrentText(place);
    w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(store.load().save.subtitles, stored);
    QCOMPARE(store.load().save.subtitlesInside, inside);
    PreferencesWindow again(store, dir.path(), {}, messages);
    QCOMPARE(ctl<QLineEdit>(again, "subtitlesBox")->text(), shown);
    QCOMPARE(ctl<QComboBox>(again, "subtitlesPlaceBox")->currentText(), place);
}

QTEST_MAIN(TestSaveChoices)
#include "tst_savechoices.moc"
