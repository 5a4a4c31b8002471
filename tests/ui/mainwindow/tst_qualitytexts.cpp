// A quality's line in the window that asks which one to add, word for
// word, from what its source says of it.
#include "ui/mainwindow/qualitytexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::mainwindow;
using download::streams::Quality;
Q_DECLARE_METATYPE(Quality)

class TestQualityTexts : public QObject
{
    Q_OBJECT
private slots:
    void described_data();
    void described();
};

void TestQualityTexts::described_data()
{
    QTest::addColumn<Quality>("quality");
    QTest::addColumn<QString>("text");
    QTest::newRow("size from the rate") << Quality{true, false, 1280, 720, 29.97, "avc1.64001f", 2500000, -1, 63, {}}
                                        << "1280×720, 29.97 fps, avc1.64001f, 2.5 Mb/s, about 18.8 MB";
    QTest::newRow("size known") << Quality{true, false, 1280, 720, 29.97, "avc1.64001f", 2500000, 5 << 20, 63, {}}
                                << "1280×720, 29.97 fps, avc1.64001f, 2.5 Mb/s, 5.0 MB";
    QTest::newRow("sound only, kb/s") << Quality{false, true, 0, 0, 0, "opus", 96000, -1, 10, "de"}
                                      << "sound only, opus, 96 kb/s, about 117.2 kB";
    QTest::newRow("picture without a size") << Quality{true, true, 0, 0, 0, {}, 0, -1, 0, {}} << "";
    QTest::newRow("size alone, bytes") << Quality{true, true, 0, 0, 0, {}, 0, 900, 0, {}} << "900 bytes";
    QTest::newRow("frame rate rounded") << Quality{true, true, 640, 360, 23.976023, {}, 1000000, -1, 0, {}}
                                        << "640×360, 23.98 fps, 1.0 Mb/s";
}

void TestQualityTexts::described()
{
    QFETCH(Quality, quality);
    QFETCH(QString, text);
    QCOMPARE(describeQuality(quality), text);
}

QTEST_MAIN(TestQualityTexts)
#include "tst_qualitytexts.moc"
