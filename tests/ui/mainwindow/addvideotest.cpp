#include "addvideotest.h"
#include "sites/samples.h"
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace vidrona::test {

using app::createMainWindow;

using testweb::Request;

void AddVideoTest::setUp()
{
    m_browser.opened.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    m_web = std::make_unique<LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    m_messages = std::make_unique<RecordingMessages>();
    m_w = createMainWindow(m_dir->path(), m_messages.get());
    m_w->startUp();
}

void AddVideoTest::tearDown()
{
    m_w.reset();
    m_messages.reset();
    m_web.reset();
    m_dir.reset();
}

void AddVideoTest::paste(const QString &address, const QString &quality)
{
    test::ctl<QLineEdit>(*m_w, "addressBox")->setText(address);
    QRadioButton *option = quality == "high" ? test::ctl<QRadioButton>(*m_w, "highQualityOption") : quality == "avi" ? test::ctl<QRadioButton>(*m_w, "aviQualityOption") : test::ctl<QRadioButton>(*m_w, "lowQualityOption");
    QVERIFY(!option->isHidden() || quality == "low");
    option->setChecked(true);
}

int AddVideoTest::requestsTo(const QByteArray &host, const QByteArray &path) const
{
    int n = 0;
    for (const Request &r : m_web->server().requests())
        n += r.host == host && r.path == path;
    return n;
}

void AddVideoTest::downloadFirstRow(const QString &fileUrl, const QString &fileName)
{
    test::ctl<QPushButton>(*m_w, "startButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().at(0).statusWord(), QStringLiteral("COMPLETED"), 20000);
    const QByteArray saved = test::readFile(QDir(m_dir->path()).filePath(fileName));
    QVERIFY(saved.size() > 30000);
    QCOMPARE(saved, testweb::sampleFileBytes(fileUrl));
}

} // namespace vidrona::test
