// "Connect browsers" in the Preferences, pressed as a user would: each
// browser's per-user manifest names this copy's host and only the
// extension, and the panel says where they went.
#include "ui/preferences/browserspanel.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::preferences;

class TestBrowsersPanel : public QObject
{
    Q_OBJECT
private slots:
    void manifests_data();
    void manifests();
    void withoutTheHost();
};

void TestBrowsersPanel::manifests_data()
{
    QTest::addColumn<QString>("folder"); // under home
    QTest::addColumn<QString>("allowedKey");
    QTest::addColumn<QString>("allowed");
    const QString origin = "chrome-extension://hiemkdcfblalgmlpnmnopjohncebladp/";
    QTest::newRow("Chromium") << ".config/chromium/NativeMessagingHosts" << "allowed_origins" << origin;
    QTest::newRow("Chrome") << ".config/google-chrome/NativeMessagingHosts" << "allowed_origins" << origin;
    QTest::newRow("Firefox") << ".mozilla/native-messaging-hosts" << "allowed_extensions" << "browser@vidrona.org";
}

void TestBrowsersPanel::manifests()
{
    QFETCH(QString, folder);
    QFETCH(QString, allowedKey);
    QFETCH(QString, allowed);
    QTemporaryDir home, program;
    const QString host = program.filePath("vidrona-browser-host");
    QFile exe(host);
    QVERIFY(exe.open(QIODevice::WriteOnly));
    exe.close();
    QVERIFY(exe.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    BrowsersPanel panel(host, home.path());
    panel.show();
    auto *button = panel.findChild<QPushButton *>("connectBrowsersButton");
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Connect browsers"));
    QTest::mouseClick(button, Qt::LeftButton);

    const QString path = QDir(home.filePath(folder)).filePath("org.vidrona.browser.json");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QJsonObject m = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(m.value("name").toString(), QStringLiteral("org.vidrona.browser"));
    QCOMPARE(m.value("path").toString(), host);
    QCOMPARE(m.value("type").toString(), QStringLiteral("stdio"));
    QCOMPARE(m.value(allowedKey).toArray(), QJsonArray{allowed});
    const QString said = panel.findChild<QLabel *>("browsersConnectedLabel")->text();
    QVERIFY2(said.contains(path), qPrintable(said));
}

void TestBrowsersPanel::withoutTheHost()
{
    QTemporaryDir home, program;
    BrowsersPanel panel(program.filePath("vidrona-browser-host"), home.path());
    QTest::mouseClick(panel.findChild<QPushButton *>("connectBrowsersButton"), Qt::LeftButton);
    QVERIFY(panel.findChild<QLabel *>("browsersConnectedLabel")->text().contains("is missing"));
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestBrowsersPanel)
#include "tst_browserspanel.moc"
