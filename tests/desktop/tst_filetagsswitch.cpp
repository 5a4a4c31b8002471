// Whether the files carry their own tags: the plain key in the preferences
// file (as a person may edit it) and the Preferences window's switch,
// stored by OK, shown again as stored, and reaching the download service.
#include "desktop/initext.h"
#include "desktop/preferences.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/preferences/preferenceswindow.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::ui::preferences;

class TestFileTagsSwitch : public QObject
{
    Q_OBJECT
private slots:
    void fileKey_data();
    void fileKey();
    void window_data();
    void window();
};

void TestFileTagsSwitch::fileKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("on");
    QTest::newRow("absent: on") << QByteArray("[General]\nnotify=true\n") << true;
    QTest::newRow("true") << QByteArray("[General]\ntags=true\n") << true;
    QTest::newRow("false") << QByteArray("[General]\ntags=false\n") << false;
    QTest::newRow("False, as typed") << QByteArray("[General]\ntags = False \n") << false;
    QTest::newRow("0") << QByteArray("[General]\ntags=0\n") << false;
    QTest::newRow("off") << QByteArray("[General]\ntags=off\n") << false;
    QTest::newRow("a word not offered: on") << QByteArray("[General]\ntags=maybe\n") << true;
}

void TestFileTagsSwitch::fileKey()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "Vidrona.ini", file);
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    Preferences p = store.load();
    QCOMPARE(p.tags, on);
    // Written back under the same plain key, the other lines kept.
    p.tags = !on;
    QVERIFY(store.save(p));
    const QByteArray text = test::readFile(store.path());
    QVERIFY2(text.contains(on ? "\ntags=false\n" : "\ntags=true\n"), text.constData());
    QCOMPARE(readFileTags(IniText(text)), !on);
    QCOMPARE(store.load().tags, !on);
}

void TestFileTagsSwitch::window_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("left on") << true;
    QTest::newRow("turned off") << false;
}

void TestFileTagsSwitch::window()
{
    QFETCH(bool, on);
    QTemporaryDir dir;
    const PreferenceStore store(Folders{dir.path(), dir.path(), true});
    test::RecordingMessages messages;
    PreferencesWindow w(store, dir.path(), {}, messages);
    auto *box = w.findChild<QCheckBox *>(QStringLiteral("tagsSwitch"));
    QVERIFY(box);
    QCOMPARE(box->text(), QString("Write the title, source and cover into the file"));
    QVERIFY(box->isChecked()); // the default
    box->setChecked(on);
    QList<bool> told; // what the window hands on for the service
    connect(&w, &PreferencesWindow::changed, this, [&told](const Preferences &p) { told << p.tags; });
    w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(told, QList<bool>{on});
    QVERIFY(test::readFile(store.path()).contains(on ? "\ntags=true\n" : "\ntags=false\n"));
    PreferencesWindow again(store, dir.path(), {}, messages);
    QCOMPARE(again.findChild<QCheckBox *>(QStringLiteral("tagsSwitch"))->isChecked(), on);
}

QTEST_MAIN(TestFileTagsSwitch)
#include "tst_filetagsswitch.moc"
