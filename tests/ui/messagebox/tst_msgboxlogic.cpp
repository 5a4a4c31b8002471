// The box's decisions without a window: hover pictures, releases, answers,
// line counting and the Help/About texts.
#include "ui/messagebox/boxtexts.h"
#include "ui/messagebox/hoverlogic.h"
#include "ui/messagebox/skinbox.h"
#include <QFont>
#include <QtTest>

using namespace vidrona::ui::messagebox;

Q_DECLARE_METATYPE(QList<SlotPaint>)

namespace {
using K = ButtonKind;
using L = ButtonLook;

// A pointer script: "h0" hover slot 0, "h1" hover slot 1, "c" clear.
QList<SlotPaint> play(HoverFields &f, int style, const QStringList &script)
{
    QList<SlotPaint> last;
    for (const QString &step : script)
        last = step == QLatin1String("c") ? clearHover(f, style)
                                          : hoverSlot(f, style, step.mid(1).toInt());
    return last;
}

QFont areaFont()
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setBold(true);
    return f;
}
} // namespace

class TestMsgBoxLogic : public QObject
{
    Q_OBJECT
private slots:
    void hoverSequences_data();
    void hoverSequences();
    void release_data();
    void release();
    void answers_data();
    void answers();
    void lineCount_data();
    void lineCount();
    void texts_data();
    void texts();
};

void TestMsgBoxLogic::hoverSequences_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QList<SlotPaint>>("lastPaints");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("shown");
    using P = QList<SlotPaint>;
    QTest::newRow("style 0 enter OK") << 0 << QStringList{"h0"} << P{{0, K::Ok, L::Hover}} << 0 << true;
    QTest::newRow("staying on a slot repaints nothing")
        << 1 << QStringList{"h0", "h0"} << P{} << 0 << true;
    QTest::newRow("style 1 onto CANCEL") << 1 << QStringList{"h0"}
        << P{{1, K::Ok, L::Normal}, {0, K::Cancel, L::Hover}} << 0 << true;
    QTest::newRow("style 1 slot to slot") << 1 << QStringList{"h0", "h1"}
        << P{{1, K::Ok, L::Hover}, {0, K::Cancel, L::Normal}} << 1 << true;
    QTest::newRow("style 2 slot to slot and back") << 2 << QStringList{"h0", "h1", "h0"}
        << P{{1, K::Yes, L::Normal}, {0, K::No, L::Hover}} << 0 << true;
    QTest::newRow("style 2 clear") << 2 << QStringList{"h1", "c"}
        << P{{1, K::Yes, L::Normal}, {0, K::No, L::Normal}} << int(NoHoverSlot) << false;
    QTest::newRow("style 0 clear") << 0 << QStringList{"h0", "c"}
        << P{{0, K::Ok, L::Normal}} << int(NoHoverSlot) << false;
    QTest::newRow("clear twice repaints once") << 1 << QStringList{"h1", "c", "c"} << P{}
        << int(NoHoverSlot) << false;
    QTest::newRow("clear without hover keeps the start values") << 1 << QStringList{"c"} << P{}
        << 0 << false;
    QTest::newRow("hover again after clear") << 1 << QStringList{"h1", "c", "h1"}
        << P{{1, K::Ok, L::Hover}, {0, K::Cancel, L::Normal}} << 1 << true;
}

void TestMsgBoxLogic::hoverSequences()
{
    QFETCH(int, style);
    QFETCH(QStringList, script);
    QFETCH(QList<SlotPaint>, lastPaints);
    QFETCH(int, index);
    QFETCH(bool, shown);
    HoverFields f;
    QCOMPARE(play(f, style, script), lastPaints);
    QCOMPARE(int(f.hoverIndex), index);
    QCOMPARE(f.hoverShown, shown);
}

void TestMsgBoxLogic::release_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("slot");
    QTest::addColumn<qreal>("x");
    QTest::addColumn<qreal>("y");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("kind");
    QTest::newRow("middle of OK") << 0 << 0 << 29.0 << 8.0 << true << 0 << int(K::Ok);
    QTest::newRow("right edge counts") << 1 << 0 << 58.0 << 8.0 << true << 1 << int(K::Cancel);
    QTest::newRow("bottom edge counts") << 2 << 1 << 10.0 << 17.0 << true << 3 << int(K::Yes);
    QTest::newRow("top-left corner counts") << 2 << 0 << 0.0 << 0.0 << true << 4 << int(K::No);
    QTest::newRow("just past the right edge") << 1 << 1 << 58.5 << 8.0 << false << 0 << int(K::Ok);
    QTest::newRow("left of the slot") << 2 << 0 << -0.5 << 8.0 << false << 0 << int(K::No);
    QTest::newRow("above the slot") << 0 << 0 << 20.0 << -1.0 << false << 0 << int(K::Ok);
    QTest::newRow("below the slot") << 1 << 0 << 20.0 << 18.0 << false << 0 << int(K::Cancel);
}

void TestMsgBoxLogic::release()
{
    QFETCH(int, style);
    QFETCH(int, slot);
    QFETCH(qreal, x);
    QFETCH(qreal, y);
    QFETCH(bool, answers);
    QFETCH(int, result);
    QFETCH(int, kind);
    const ReleaseOutcome out = releaseSlot(style, slot, x, y, 58, 17);
    QCOMPARE(out.answers, answers);
    if (answers)
        QCOMPARE(out.result, result);
    // Inside or out, the slot shows its hover picture.
    QCOMPARE(out.paint, (SlotPaint{slot, ButtonKind(kind), L::Hover}));
    QCOMPARE(pressSlot(style, slot), (SlotPaint{slot, ButtonKind(kind), L::Pressed}));
}

void TestMsgBoxLogic::answers_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("enter");
    QTest::addColumn<int>("escape");
    QTest::addColumn<bool>("known");
    QTest::newRow("OK only") << 0 << 0 << 0 << true;
    QTest::newRow("OK and CANCEL") << 1 << 0 << 1 << true;
    QTest::newRow("YES and NO") << 2 << 3 << 4 << true;
    QTest::newRow("3 is no style") << 3 << 0 << 0 << false;
    QTest::newRow("negative is no style") << -1 << 0 << 0 << false;
}

void TestMsgBoxLogic::answers()
{
    QFETCH(int, style);
    QFETCH(int, enter);
    QFETCH(int, escape);
    QFETCH(bool, known);
    QCOMPARE(isSkinStyle(style), known);
    if (!known)
        return;
    QCOMPARE(enterResult(style), enter);
    QCOMPARE(escapeResult(style), escape);
    for (int slot : {0, 1}) {
        if (style == StyleOkOnly && slot == 1)
            continue;
        QVERIFY(kindResult(slotKind(style, slot)) != 2);
    }
}

void TestMsgBoxLogic::lineCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minLines");
    QTest::addColumn<int>("maxLines");
    QTest::newRow("empty is one line") << QString() << 1 << 1;
    QTest::newRow("short line") << QStringLiteral("OK?") << 1 << 1;
    QTest::newRow("CR LF pairs are single breaks") << QStringLiteral("a\r\nb\r\n\r\nc") << 4 << 4;
    QTest::newRow("trailing break adds a line") << QStringLiteral("a\r\n") << 2 << 2;
    QTest::newRow("unbroken text wraps") << QString(300, QLatin1Char('W')) << 9 << 300;
    QTest::newRow("words wrap") << QStringLiteral("word ").repeated(80) << 9 << 80;
}

void TestMsgBoxLogic::lineCount()
{
    QFETCH(QString, text);
    QFETCH(int, minLines);
    QFETCH(int, maxLines);
    const int n = wrappedLineCount(text, areaFont(), 233, 4);
    QVERIFY2(n >= minLines && n <= maxLines, qPrintable(QString::number(n)));
    // Twice as wide never needs more lines.
    QVERIFY(wrappedLineCount(text, areaFont(), 466, 4) <= n);
}

void TestMsgBoxLogic::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    const QString mail = contactAddress();
    QTest::newRow("help") << helpText() << QStringList{
        "With Vidrona you can easily download videos from the following websites:  "
        "Videkta, Tvali, AllVideos, YouTube, Google Video, Break, DailyMotion, MetaCafe. "
        "Copy the target video URL and paste in URL box and press add video "
        "After that your chosen video will be added in the list of downloadable files. "
        "To begin download press start download button.  ",
        "",
        "If you have any questions, advises or suggestions please, write to my e-mail address: "
            + mail + " "};
    QTest::newRow("about") << aboutText() << QStringList{
        "Thanks for using Vidrona", "", "Coded By Gio Compilashvili", "Design By Nino Pixelidze",
        "Article By Dato Paragrapheli", "",
        "Please, report a Bug to the following     e-mail address:  " + mail};
}

void TestMsgBoxLogic::texts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(text.split(QStringLiteral("\r\n")), lines);
    // Every break is a CR LF pair.
    QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
    QCOMPARE(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));
    QVERIFY(contactAddress().contains(QLatin1Char('@')));
}

QTEST_MAIN(TestMsgBoxLogic)
#include "tst_msgboxlogic.moc"
