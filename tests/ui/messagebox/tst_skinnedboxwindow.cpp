// The skinned box on screen, driven by real mouse and key events.
#include "boxdriver.h"
#include "ui/messagebox/buttonimages.h"
#include "ui/messagebox/skinbox.h"
#include "ui/messagebox/buttonslot.h"
#include "ui/messagebox/skinnedboxwindow.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::messagebox;
using test::runBox;

namespace {
using K = ButtonKind;
using L = ButtonLook;

bool shows(const ButtonSlot *slot, K kind, L look)
{
    return slot->picture() == buttonImage(kind, look);
}

const QPoint kInSlot(29, 8);
const QPoint kBackground(5, 100); // left margin beside the message panel

// A paragraph that wraps to exactly `lines` lines in the plain area.
QString wrapsTo(int lines, const QTextEdit *area)
{
    QString text;
    for (int i = 0; i < 500; ++i) {
        const QString next = text + QStringLiteral("word%1 ").arg(i);
        const int width = area->contentsRect().width();
        const int n = wrappedLineCount(next, area->font(), width, area->document()->documentMargin());
        if (n > lines)
            return text;
        text = next;
    }
    return QString();
}
} // namespace

class TestSkinnedBoxWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void messageArea_data();
    void messageArea();
    void styles_data();
    void styles();
    void unknownStyleShowsNothing_data();
    void unknownStyleShowsNothing();
    void keys_data();
    void keys();
    void release_data();
    void release();
    void pressMoveOffRelease_data();
    void pressMoveOffRelease();
    void slotToSlot_data();
    void slotToSlot();
    void hoverStartsAfreshEachBox();
    void focusLeavesTheMessage_data();
    void focusLeavesTheMessage();
    void closedWithoutAnswer();
    void dragByTheStrip_data();
    void dragByTheStrip();
    void looksAndPlace();
    void cleanupTestCase();
};

void TestSkinnedBoxWindow::initTestCase()
{
    loadButtonImages();
}

void TestSkinnedBoxWindow::cleanupTestCase()
{
    freeButtonImages();
}

void TestSkinnedBoxWindow::messageArea_data()
{
    QTest::addColumn<int>("kind"); // 0 given text, 1/2 wraps to 8/9 lines
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("eight short lines") << 0 << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8") << false;
    QTest::newRow("nine short lines") << 0 << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9") << true;
    QTest::newRow("paragraph wrapping to 8 lines") << 8 << QString() << false;
    QTest::newRow("paragraph wrapping to 9 lines") << 9 << QString() << true;
    QTest::newRow("long prompt without a break") << 0 << QString(400, QLatin1Char('M')) << true;
    QTest::newRow("empty prompt") << 0 << QString() << false;
}

void TestSkinnedBoxWindow::messageArea()
{
    QFETCH(int, kind);
    QFETCH(QString, prompt);
    QFETCH(bool, scrolls);
    if (kind != 0) {
        SkinnedBoxWindow sizing;
        prompt = wrapsTo(kind, sizing.plainArea);
        QVERIFY(!prompt.contains(QLatin1Char('\n')));
    }
    bool seen = false;
    int shownInArea = -1, counted = -1;
    QString plainText, scrollText;
    bool plainVisible = false, scrollVisible = false;
    runBox(prompt, 0, [&](SkinnedBoxWindow *box) {
        plainVisible = box->plainArea->isVisible();
        scrollVisible = box->scrollingArea->isVisible();
        plainText = box->plainArea->toPlainText();
        scrollText = box->scrollingArea->toPlainText();
        counted = textLineCount(*box->plainArea);
        // What the plain area really shows, laid out at its real width.
        if (plainVisible)
            shownInArea = test::shownLines(box->plainArea);
        test::keyTo(box, Qt::Key_Return);
    }, &seen);
    QVERIFY(seen);
    QCOMPARE(scrollVisible, scrolls);
    QCOMPARE(plainVisible, !scrolls);
    QCOMPARE(plainText, QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (scrolls) {
        QCOMPARE(scrollText, plainText);
        QVERIFY2(counted > 8, qPrintable(QString::number(counted)));
    } else {
        QVERIFY2(counted <= 8, qPrintable(QString::number(counted)));
        QCOMPARE(shownInArea, counted);
    }
    if (kind != 0)
        QCOMPARE(counted, kind);
    if (prompt.isEmpty())
        QCOMPARE(counted, 1);
}

void TestSkinnedBoxWindow::styles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("leftShown");
    QTest::addColumn<int>("rightKind");
    QTest::addColumn<int>("leftKind");
    QTest::newRow("OK only") << 0 << false << int(K::Ok) << -1;
    QTest::newRow("OK and CANCEL") << 1 << true << int(K::Cancel) << int(K::Ok);
    QTest::newRow("YES and NO") << 2 << true << int(K::No) << int(K::Yes);
}

void TestSkinnedBoxWindow::styles()
{
    QFETCH(int, style);
    QFETCH(bool, leftShown);
    QFETCH(int, rightKind);
    QFETCH(int, leftKind);
    bool seen = false, left = true, right = false, leftPicture = false;
    int rightX = -1, leftX = -1, styleSeen = -1;
    runBox(QStringLiteral("Which?"), style, [&](SkinnedBoxWindow *box) {
        styleSeen = currentStyle;
        right = shows(box->buttonSlots[0], K(rightKind), L::Normal);
        rightX = box->buttonSlots[0]->geometry().x();
        left = box->buttonSlots[1]->isVisible();
        leftX = box->buttonSlots[1]->geometry().x();
        leftPicture = leftKind < 0 || shows(box->buttonSlots[1], K(leftKind), L::Normal);
    }, &seen);
    QVERIFY(seen);
    QCOMPARE(styleSeen, style);
    QVERIFY(right);
    QCOMPARE(rightX, 187); // the single OK takes the right-hand place
    QCOMPARE(left, leftShown);
    QCOMPARE(leftX, 126);
    QVERIFY(leftPicture);
    QCOMPARE(currentStyle, style); // still the last style after closing
}

void TestSkinnedBoxWindow::unknownStyleShowsNothing_data()
{
    QTest::addColumn<int>("style");
    QTest::newRow("3") << 3;
    QTest::newRow("-1") << -1;
    QTest::newRow("16") << 16;
}

void TestSkinnedBoxWindow::unknownStyleShowsNothing()
{
    QFETCH(int, style);
    // A YES/NO box answered NO leaves both module values set.
    runBox(QStringLiteral("first"), 2, [](SkinnedBoxWindow *box) { test::keyTo(box, Qt::Key_Escape); });
    QCOMPARE(boxResult, 4);
    bool seen = false;
    QCOMPARE(runBox(QStringLiteral("never shown"), style, [](SkinnedBoxWindow *) {}, &seen), 0);
    QTest::qWait(50);
    QVERIFY(!seen);
    QVERIFY(!test::openBox());
    QCOMPARE(currentStyle, 2);
    QCOMPARE(boxResult, 4);
}

void TestSkinnedBoxWindow::keys_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("style 0 Enter") << 0 << int(Qt::Key_Return) << 0;
    QTest::newRow("style 0 Esc") << 0 << int(Qt::Key_Escape) << 0;
    QTest::newRow("style 0 keypad Enter") << 0 << int(Qt::Key_Enter) << 0;
    QTest::newRow("style 1 Enter") << 1 << int(Qt::Key_Return) << 0;
    QTest::newRow("style 1 Esc") << 1 << int(Qt::Key_Escape) << 1;
    QTest::newRow("style 2 Enter") << 2 << int(Qt::Key_Return) << 3;
    QTest::newRow("style 2 Esc") << 2 << int(Qt::Key_Escape) << 4;
}

void TestSkinnedBoxWindow::keys()
{
    QFETCH(int, style);
    QFETCH(int, key);
    QFETCH(int, result);
    boxResult = 99; // shows that the key wrote the answer
    bool leftOpen = true, openAfterOthers = false, picturesKept = false;
    const int got = runBox(QStringLiteral("Keys"), style, [&](SkinnedBoxWindow *box) {
        for (Qt::Key other : {Qt::Key_A, Qt::Key_Space, Qt::Key_Tab, Qt::Key_F1})
            test::keyTo(box, other);
        openAfterOthers = test::openBox() == box;
        test::keyTo(box, Qt::Key(key));
        picturesKept = shows(box->buttonSlots[0], slotKind(style, 0), L::Normal);
    }, nullptr, &leftOpen);
    QVERIFY(openAfterOthers);
    QVERIFY(!leftOpen);
    QVERIFY(picturesKept);
    QCOMPARE(got, result);
    QCOMPARE(boxResult, result);
}

void TestSkinnedBoxWindow::release_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result"); // -1: no answer
    const int left = Qt::LeftButton, right = Qt::RightButton, middle = Qt::MiddleButton;
    QTest::newRow("OK clicked") << 0 << 0 << kInSlot << left << 0;
    QTest::newRow("CANCEL on its right edge") << 1 << 0 << QPoint(58, 8) << left << 1;
    QTest::newRow("OK on its bottom edge") << 1 << 1 << QPoint(30, 17) << left << 0;
    QTest::newRow("YES on its corner") << 2 << 1 << QPoint(58, 17) << left << 3;
    QTest::newRow("NO with the right button") << 2 << 0 << kInSlot << right << 4;
    QTest::newRow("YES with the middle button") << 2 << 1 << kInSlot << middle << 3;
    QTest::newRow("OK with the right button") << 0 << 0 << kInSlot << right << 0;
    QTest::newRow("released one pixel right of CANCEL") << 1 << 0 << QPoint(59, 8) << left << -1;
    QTest::newRow("released below NO") << 2 << 0 << QPoint(10, 18) << right << -1;
    QTest::newRow("released left of OK") << 1 << 1 << QPoint(-1, 8) << middle << -1;
}

void TestSkinnedBoxWindow::release()
{
    QFETCH(int, style);
    QFETCH(int, slot);
    QFETCH(QPoint, at);
    QFETCH(int, button);
    QFETCH(int, result);
    boxResult = 77;
    const K kind = slotKind(style, slot);
    bool pressedLook = false, hoverAfter = false, leftOpen = false;
    const int got = runBox(QStringLiteral("Release"), style, [&](SkinnedBoxWindow *box) {
        ButtonSlot *b = box->buttonSlots[slot];
        test::pressOn(b, kInSlot, Qt::MouseButton(button));
        pressedLook = shows(b, kind, L::Pressed);
        test::releaseOn(b, at, Qt::MouseButton(button));
        hoverAfter = shows(b, kind, L::Hover);
    }, nullptr, &leftOpen);
    QVERIFY(pressedLook);
    QVERIFY(hoverAfter);
    QCOMPARE(leftOpen, result < 0);
    QCOMPARE(got, result < 0 ? 77 : result);
}

void TestSkinnedBoxWindow::pressMoveOffRelease_data()
{
    QTest::addColumn<QString>("restorer"); // where the pointer goes afterwards
    QTest::newRow("background") << "background";
    QTest::newRow("drag strip") << "strip";
    QTest::newRow("message area") << "message";
}

void TestSkinnedBoxWindow::pressMoveOffRelease()
{
    QFETCH(QString, restorer);
    bool held = false, hoverAfter = false, restored = false, fields = false, leftOpen = false;
    runBox(QStringLiteral("Move off"), 1, [&](SkinnedBoxWindow *box) {
        ButtonSlot *cancel = box->buttonSlots[0];
        test::moveOver(cancel, kInSlot);
        test::pressOn(cancel, kInSlot);
        // Held: the slot keeps the pointer, the pressed picture stays.
        test::moveOver(box, kBackground);
        test::moveOver(box, QPoint(100, 160));
        held = shows(cancel, K::Cancel, L::Pressed) && shows(box->buttonSlots[1], K::Ok, L::Normal);
        test::releaseOn(box, QPoint(100, 160));
        hoverAfter = shows(cancel, K::Cancel, L::Hover) && test::openBox() == box;
        if (restorer == QLatin1String("strip"))
            test::moveOver(box->dragStrip, QPoint(120, 8));
        else if (restorer == QLatin1String("message"))
            test::moveOver(box->plainArea, QPoint(50, 50));
        else
            test::moveOver(box, kBackground);
        restored = shows(cancel, K::Cancel, L::Normal) && shows(box->buttonSlots[1], K::Ok, L::Normal);
        fields = box->hoverIndex() == NoHoverSlot && !box->hoverShown();
    }, nullptr, &leftOpen);
    QVERIFY(held);
    QVERIFY(hoverAfter);
    QVERIFY(restored);
    QVERIFY(fields);
    QVERIFY(leftOpen); // no answer came from it
}

void TestSkinnedBoxWindow::slotToSlot_data()
{
    QTest::addColumn<int>("style");
    QTest::newRow("OK and CANCEL") << 1;
    QTest::newRow("YES and NO") << 2;
}

void TestSkinnedBoxWindow::slotToSlot()
{
    QFETCH(int, style);
    const K right = slotKind(style, 0), left = slotKind(style, 1);
    QList<bool> steps;
    runBox(QStringLiteral("Slots"), style, [&](SkinnedBoxWindow *box) {
        test::moveOver(box->buttonSlots[1], kInSlot);
        steps << (shows(box->buttonSlots[1], left, L::Hover) && shows(box->buttonSlots[0], right, L::Normal));
        // Straight across: the gap between the slots is not crossed.
        test::moveOver(box->buttonSlots[0], QPoint(0, 8));
        steps << (shows(box->buttonSlots[1], left, L::Normal) && shows(box->buttonSlots[0], right, L::Hover));
        steps << (box->hoverIndex() == 0 && box->hoverShown());
        test::moveOver(box->buttonSlots[1], QPoint(57, 8));
        steps << (shows(box->buttonSlots[1], left, L::Hover) && shows(box->buttonSlots[0], right, L::Normal));
        test::keyTo(box, Qt::Key_Escape);
    });
    QCOMPARE(steps, QList<bool>({true, true, true, true}));
}

void TestSkinnedBoxWindow::hoverStartsAfreshEachBox()
{
    // The first box is answered with the pointer on OK, hover shown.
    bool shownAtAnswer = false;
    runBox(QStringLiteral("one"), 0, [&](SkinnedBoxWindow *box) {
        test::moveOver(box->buttonSlots[0], kInSlot);
        shownAtAnswer = box->hoverShown();
        test::clickOn(box->buttonSlots[0], kInSlot);
    });
    QVERIFY(shownAtAnswer);
    bool hovered = false;
    runBox(QStringLiteral("two"), 0, [&](SkinnedBoxWindow *box) {
        test::moveOver(box->buttonSlots[0], QPoint(20, 5));
        hovered = shows(box->buttonSlots[0], K::Ok, L::Hover);
    });
    QVERIFY(hovered);
}

void TestSkinnedBoxWindow::focusLeavesTheMessage_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::newRow("plain area") << QStringLiteral("Short text");
    QTest::newRow("scrolling area") << QStringLiteral("line\r\n").repeated(20);
}

void TestSkinnedBoxWindow::focusLeavesTheMessage()
{
    QFETCH(QString, prompt);
    bool atOpen = false, afterClick = false, unchanged = false;
    const int got = runBox(prompt, 1, [&](SkinnedBoxWindow *box) {
        atOpen = QApplication::focusWidget() == box->buttonSlots[0];
        QTextEdit *area = box->scrollingArea->isVisible() ? box->scrollingArea : box->plainArea;
        test::clickOn(area->viewport(), QPoint(30, 10));
        afterClick = QApplication::focusWidget() == box->buttonSlots[0];
        test::keyTo(box, Qt::Key_X);
        unchanged = area->toPlainText() == QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        test::keyTo(box, Qt::Key_Escape);
    });
    QVERIFY(atOpen);
    QVERIFY(afterClick);
    QVERIFY(unchanged);
    QCOMPARE(got, 1);
}

void TestSkinnedBoxWindow::closedWithoutAnswer()
{
    runBox(QStringLiteral("yes"), 2, [](SkinnedBoxWindow *box) { test::keyTo(box, Qt::Key_Return); });
    bool leftOpen = false;
    // Closed from outside: no answering path ran.
    const int got = runBox(QStringLiteral("closed"), 1, [](SkinnedBoxWindow *box) { box->close(); },
                           nullptr, &leftOpen);
    QVERIFY(!leftOpen);
    QCOMPARE(got, 3);
}

void TestSkinnedBoxWindow::dragByTheStrip_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("by");
    QTest::newRow("left button") << int(Qt::LeftButton) << QPoint(40, 25);
    QTest::newRow("right button, up and left") << int(Qt::RightButton) << QPoint(-30, -12);
}

void TestSkinnedBoxWindow::dragByTheStrip()
{
    QFETCH(int, button);
    QFETCH(QPoint, by);
    QPoint before, after, afterRelease;
    runBox(QStringLiteral("Drag me"), 0, [&](SkinnedBoxWindow *box) {
        const auto b = Qt::MouseButton(button);
        before = box->pos();
        test::pressOn(box->dragStrip, QPoint(100, 9), b);
        test::moveOver(box->dragStrip, QPoint(100, 9) + by / 2);
        // The strip moved with the window; the pointer is now here in it.
        test::moveOver(box->dragStrip, QPoint(100, 9) + by - (box->pos() - before));
        after = box->pos();
        test::releaseOn(box->dragStrip, QPoint(100, 9), b);
        test::moveOver(box->dragStrip, QPoint(150, 9));
        afterRelease = box->pos();
        test::keyTo(box, Qt::Key_Return);
    });
    QCOMPARE(after - before, by);
    QCOMPARE(afterRelease, after); // a move without a button drags nothing
}

void TestSkinnedBoxWindow::looksAndPlace()
{
    bool frameless = false, centred = false, skin = false, slotDrawn = false, areaColour = false;
    QSize size;
    runBox(QStringLiteral("Look"), 1, [&](SkinnedBoxWindow *box) {
        frameless = box->windowFlags().testFlag(Qt::FramelessWindowHint);
        size = box->size();
        const QRect screen = box->screen()->availableGeometry();
        centred = (box->frameGeometry().center() - screen.center()).manhattanLength() <= 1;
        const QImage shot = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage art = QImage(QStringLiteral(":/art/skin.bmp")).convertToFormat(QImage::Format_RGB32);
        skin = shot.pixel(3, 80) == art.pixel(3, 80) && shot.pixel(120, 3) == art.pixel(120, 3);
        slotDrawn = shot.copy(187, 147, 58, 17)
                    == buttonImage(K::Cancel, L::Normal).convertToFormat(QImage::Format_RGB32);
        areaColour = QColor(shot.pixel(240, 135)) == QColor(105, 105, 105);
    });
    QVERIFY(frameless);
    QCOMPARE(size, QSize(250, 170));
    QVERIFY(centred);
    QVERIFY(skin);
    QVERIFY(slotDrawn);
    QVERIFY(areaColour);
}

QTEST_MAIN(TestSkinnedBoxWindow)
#include "tst_skinnedboxwindow.moc"
