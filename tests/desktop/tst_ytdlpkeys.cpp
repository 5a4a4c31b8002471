// The Preferences' yt-dlp settings as the settings file keeps them: written
// and read back, and a browser name yt-dlp would not know read as none, so
// a hand-edited file never puts it among yt-dlp's arguments.
#include "desktop/initext.h"
#include "desktop/ytdlpkeys.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::desktop;

class TestYtDlpKeys : public QObject
{
    Q_OBJECT
private slots:
    void readBack_data();
    void readBack();
};

void TestYtDlpKeys::readBack_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("browserRead");
    QTest::newRow("found on PATH, no cookies") << "" << "" << "";
    QTest::newRow("a path and Firefox") << "/home/u/.local/bin/yt-dlp" << "firefox" << "firefox";
    QTest::newRow("Chromium, any case") << "" << "Chromium" << "chromium";
    QTest::newRow("an unknown browser is none") << "" << "--exec=touch x" << "";
}

void TestYtDlpKeys::readBack()
{
    QFETCH(QString, program);
    QFETCH(QString, browser);
    QFETCH(QString, browserRead);
    IniText ini(QByteArray("[General]\nnotify=true\n"));
    writeYtDlpPreferences(ini, {program, browser});
    const YtDlpPreferences back = readYtDlpPreferences(IniText(ini.bytes()));
    QCOMPARE(back.program, program);
    QCOMPARE(back.cookiesBrowser, browserRead);
    QCOMPARE(IniText(ini.bytes()).value("notify").value_or(QString()), QString("true")); // other keys stay
}

QTEST_MAIN(TestYtDlpKeys)
#include "tst_ytdlpkeys.moc"
