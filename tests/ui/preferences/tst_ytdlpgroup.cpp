// The Preferences' yt-dlp group itself, offscreen: the program and the
// browser's cookies shown and given back as set, and the version line for
// the program that runs: its version and date, the one line on updating
// when it is older than 60 days, a word for a program that does not answer
// as yt-dlp. Stand-in programs print a version; Debian's yt-dlp is asked
// too.
#include "ui/preferences/ytdlpgroup.h"
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::ui::preferences;

namespace {

// A program that prints version (nothing when empty) and ends.
QString standIn(const QString &folder, const QString &version)
{
    const QString path = folder + "/yt-dlp-" + QString::number(qHash(version));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n" + (version.isEmpty() ? QByteArray("exit 0\n") : "echo " + version.toUtf8() + "\n"));
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString dotted(const QDate &d)
{
    return d.toString("yyyy.MM.dd");
}

} // namespace

class TestYtDlpGroup : public QObject
{
    Q_OBJECT
private slots:
    void showsAndGivesBack_data();
    void showsAndGivesBack();
    void versionLine_data();
    void versionLine();
};

void TestYtDlpGroup::showsAndGivesBack_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("cookies");
    QTest::addColumn<QString>("shown"); // the list's text
    QTest::newRow("found, no cookies") << "" << "" << "none";
    QTest::newRow("a path, Firefox's cookies") << "/opt/yt/yt-dlp" << "firefox" << "Firefox";
    QTest::newRow("Chromium's cookies") << "" << "chromium" << "Chromium";
    QTest::newRow("an unknown browser reads as none") << "" << "netscape" << "none";
}

void TestYtDlpGroup::showsAndGivesBack()
{
    QFETCH(QString, program);
    QFETCH(QString, cookies);
    QFETCH(QString, shown);
    YtDlpGroup group;
    group.show({program, cookies});
    group.QWidget::show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    QCOMPARE(group.findChild<QLineEdit *>("ytDlpProgramBox")->text(), program);
    auto *list = group.findChild<QComboBox *>("ytDlpCookiesBox");
    QCOMPARE(list->currentText(), shown);
    QCOMPARE(list->count(), 1 + int(cookieBrowsers().size()));
    const YtDlpPreferences back = group.values();
    QCOMPARE(back.program, program);
    QCOMPARE(back.cookiesBrowser, cookieBrowsers().contains(cookies) ? cookies : QString());
    // Chosen in the window, given back.
    list->setCurrentIndex(list->findText("Brave"));
    QCOMPARE(group.values().cookiesBrowser, QStringLiteral("brave"));
}

void TestYtDlpGroup::versionLine_data()
{
    QTest::addColumn<QString>("version"); // empty: Debian's yt-dlp
    QTest::addColumn<QString>("expected"); // after the program's path
    QTest::addColumn<bool>("advice");
    const QDate today = QDate::currentDate();
    const QDate recent = today.addDays(-10), old = today.addDays(-200);
    QTest::newRow("recent") << dotted(recent) << ", version " + dotted(recent) + " (" + recent.toString(Qt::ISODate) + ")"
                            << false;
    QTest::newRow("200 days old") << dotted(old) << ", version " + dotted(old) + " (" + old.toString(Qt::ISODate) + ")"
                                  << true;
    QTest::newRow("a second release that day") << dotted(recent) + ".1"
                                               << ", version " + dotted(recent) + ".1 (" + recent.toString(Qt::ISODate) + ")"
                                               << false;
    QTest::newRow("says nothing") << "-" << " does not answer as yt-dlp." << false;
    QTest::newRow("Debian's yt-dlp") << "" << ", version 2023.03.04 (2023-03-04)" << true;
}

void TestYtDlpGroup::versionLine()
{
    QFETCH(QString, version);
    QFETCH(QString, expected);
    QFETCH(bool, advice);
    QTemporaryDir dir;
    const QString program = version.isEmpty() ? QStringLiteral("/usr/bin/yt-dlp")
                                              : standIn(dir.path(), version == "-" ? QString() : version);
    QVERIFY(QFileInfo(program).isExecutable());
    YtDlpGroup group;
    group.QWidget::show();
    QVERIFY(QTest::qWaitForWindowExposed(&group));
    auto *line = group.findChild<QLabel *>("ytDlpVersionLabel");
    // Typed in the window, as a user sets a path: the line follows.
    auto *path = group.findChild<QLineEdit *>("ytDlpProgramBox");
    path->setText(program);
    emit path->editingFinished();
    QCOMPARE(line->text(), program + ": asking its version...");
    QTRY_VERIFY_WITH_TIMEOUT(!line->text().endsWith("asking its version..."), 20000);
    const QStringList lines = line->text().split('\n');
    QCOMPARE(lines.first(), program + expected);
    QCOMPARE(lines.size(), advice ? 2 : 1);
    if (advice)
        QVERIFY2(lines.last().contains("days old") && lines.last().contains("pipx"), qPrintable(lines.last()));
}

QTEST_MAIN(TestYtDlpGroup)
#include "tst_ytdlpgroup.moc"
