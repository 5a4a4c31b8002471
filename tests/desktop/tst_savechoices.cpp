// Which quality of a video to save: the plain key in the preferences file
// (as a person may edit it), the Preferences window's choice stored by OK,
// and the name a stream's row gets from it, which its fetch then follows.
#include "desktop/initext.h"
#include "desktop/preferences.h"
#include "download/service/downloadservice.h"
#include "download/streams/qualitychoice.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/preferences/frmpreferences.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;

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
};

void TestSaveChoices::fileKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("quality");
    QTest::newRow("none: the best") << QByteArray("[General]\nnotify=true\n") << QByteArray("best");
    QTest::newRow("720") << QByteArray("[General]\nquality=720\n") << QByteArray("720");
    QTest::newRow("sound, as typed") << QByteArray("[General]\nquality = Sound \n") << QByteArray("sound");
    QTest::newRow("a height not offered") << QByteArray("[General]\nquality=1000\n") << QByteArray("best");
}

void TestSaveChoices::fileKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, quality);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "Vidrona.ini", file);
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    Preferences p = store.load();
    QCOMPARE(p.save.quality, quality);
    // Written back under the same plain key, other keys left as they were.
    p.save.quality = "480";
    QVERIFY(store.save(p));
    const QByteArray text = test::readFile(store.path());
    QVERIFY2(text.contains("\nquality=480\n"), text.constData());
    QCOMPARE(readSaveChoices(IniText(text)).quality, QByteArray("480"));
}

void TestSaveChoices::window_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("Best") << "Best" << QByteArray("best");
    QTest::newRow("Up to 2160p") << "Up to 2160p" << QByteArray("2160");
    QTest::newRow("Up to 1440p") << "Up to 1440p" << QByteArray("1440");
    QTest::newRow("Up to 1080p") << "Up to 1080p" << QByteArray("1080");
    QTest::newRow("Up to 720p") << "Up to 720p" << QByteArray("720");
    QTest::newRow("Up to 480p") << "Up to 480p" << QByteArray("480");
    QTest::newRow("Sound only") << "Sound only" << QByteArray("sound");
}

void TestSaveChoices::window()
{
    QFETCH(QString, item);
    QFETCH(QByteArray, stored);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    FrmPreferences w(store, dir.path(), {}, messages);
    auto *box = test::ctl<QComboBox>(w, "cmbQuality");
    QCOMPARE(box->currentText(), QString("Best")); // the default: Add Video works as it always did
    box->setCurrentIndex(box->findText(item));
    QCOMPARE(box->currentText(), item);
    w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(store.load().save.quality, stored);
    FrmPreferences again(store, dir.path(), {}, messages);
    QCOMPARE(test::ctl<QComboBox>(again, "cmbQuality")->currentText(), item);
}

void TestSaveChoices::rowName_data()
{
    QTest::addColumn<QByteArray>("quality");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("fetched"); // what the row's fetch takes from its name
    const QString hls = "http://media.test/talk/master.m3u8", dash = "http://media.test/talk/index.mpd";
    QTest::newRow("best") << QByteArray("best") << hls << "Talk.mp4" << "Talk.mp4" << QByteArray("best");
    QTest::newRow("720, HLS") << QByteArray("720") << hls << "Talk.mp4" << "Talk (720p).mp4" << QByteArray("720");
    QTest::newRow("2160, DASH") << QByteArray("2160") << dash << "Talk.mp4" << "Talk (2160p).mp4" << QByteArray("2160");
    QTest::newRow("sound") << QByteArray("sound") << hls << "Talk.mp4" << "Talk (sound).m4a" << QByteArray("sound");
    QTest::newRow("a plain file keeps its name") << QByteArray("720") << "http://media.test/talk.mp4" << "Talk.mp4"
                                                 << "Talk.mp4" << QByteArray("best");
    QTest::newRow("a title in brackets is no choice") << QByteArray("best") << hls << "Talk (live).mp4"
                                                      << "Talk (live).mp4" << QByteArray("best");
}

void TestSaveChoices::rowName()
{
    QFETCH(QByteArray, quality);
    QFETCH(QString, address);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(QByteArray, fetched);
    QTemporaryDir dir;
    test::RecordingMessages messages;
    DownloadService service(dir.path(), dir.path(), &messages);
    service.load();
    service.apply({1, 8, 0, dir.path(), quality});
    QCOMPARE(service.settings().quality, quality);
    QVERIFY(service.add(address, name));
    QCOMPARE(service.list().at(0).fileName, shown);
    QCOMPARE(streams::choiceInName(shown).key(), fetched);
    QVERIFY(test::readFile(QDir(dir.path()).filePath("List")).contains(shown.toUtf8()));
}

QTEST_MAIN(TestSaveChoices)
#include "tst_savechoices.moc"
