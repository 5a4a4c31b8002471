// Help and About from the main window: the texts in the skinned box, and the
// box holding off the user from the main window while its timers go on.
#include "boxdriver.h"
#include "support/mainwindowtest.h"
#include "ui/messagebox/boxtexts.h"
#include "ui/messagebox/skinbox.h"
#include "ui/messagebox/buttonslot.h"
#include "support/recordingmessages.h"
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::messagebox;
using namespace vidrona::app;
using namespace vidrona::ui::mainwindow;

namespace {
void clickButton(MainWindowView &main, QWidget *button)
{
    QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                      button->mapTo(&main, button->rect().center()));
}

// A click into the address box and a typed letter, as the user would.
void typeIntoUrlBox(MainWindowView &main)
{
    clickButton(main, test::ctl<QLineEdit>(main, "addressBox"));
    QTest::keyClick(main.windowHandle(), Qt::Key_Z);
}

int visibleBoxes()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += (qobject_cast<SkinnedBoxWindow *>(w) && w->isVisible()) ? 1 : 0;
    return n;
}

QString shownText(const QString &text)
{
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

class TestHelpAbout : public QObject
{
    Q_OBJECT
private slots:
    void boxFromMainWindow_data();
    void boxFromMainWindow();
};

void TestHelpAbout::boxFromMainWindow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer"); // Enter, Esc or OK
    QTest::addColumn<bool>("help");
    QTest::newRow("Help answered with Enter") << "helpButton" << "Enter" << true;
    QTest::newRow("Help answered with OK") << "helpButton" << "OK" << true;
    QTest::newRow("About answered with Esc") << "aboutButton" << "Esc" << false;
    QTest::newRow("About answered with OK") << "aboutButton" << "OK" << false;
}

void TestHelpAbout::boxFromMainWindow()
{
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(bool, help);
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto window = createMainWindow(dir.path(), &messages);
    MainWindowView &main = *window;
    main.startUp();
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    int ticks = 0;
    QTimer ticker(&main);
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);

    bool seen = false, leftOpen = true, okOnly = false, inScroll = false, textRight = false;
    int ticksWhileOpen = 0, boxesAfterOtherClick = 0;
    QString urlWhileOpen = QStringLiteral("unset");
    currentStyle = 2; // the box must set its own
    test::whenBoxOpens([&](SkinnedBoxWindow *box) {
        okOnly = currentStyle == StyleOkOnly && !box->buttonSlots[1]->isVisible();
        inScroll = box->scrollingArea->isVisible() && !box->plainArea->isVisible();
        QTextEdit *area = inScroll ? box->scrollingArea : box->plainArea;
        textRight = area->toPlainText() == shownText(help ? helpText() : aboutText());
        // The main window's timer keeps ticking under the box.
        const int before = ticks;
        static_cast<void>(QTest::qWaitFor([&] { return ticks > before; }, 5000)); // checked below
        ticksWhileOpen = ticks - before;
        // The user cannot reach the main window: no typing, no second box.
        typeIntoUrlBox(main);
        urlWhileOpen = test::ctl<QLineEdit>(main, "addressBox")->text();
        QTimer closer; // closes a second box, should one wrongly open
        connect(&closer, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w != box && qobject_cast<SkinnedBoxWindow *>(w) && w->isVisible())
                    static_cast<SkinnedBoxWindow *>(w)->reject();
        });
        closer.start(20);
        clickButton(main, test::ctl<QPushButton>(main, "aboutButton"));
        clickButton(main, test::ctl<QPushButton>(main, "helpButton"));
        QTest::qWait(50);
        boxesAfterOtherClick = visibleBoxes();
        if (answer == QLatin1String("OK"))
            test::clickOn(box->buttonSlots[0], QPoint(29, 8));
        else
            test::keyTo(box, answer == QLatin1String("Esc") ? Qt::Key_Escape : Qt::Key_Return);
    }, &seen, &leftOpen);
    clickButton(main, main.findChild<QPushButton *>(button));

    QVERIFY(seen);
    QVERIFY(!leftOpen);
    QVERIFY(okOnly);
    QVERIFY(textRight);
    if (help)
        QVERIFY(inScroll); // the Help text is longer than eight lines
    QVERIFY2(ticksWhileOpen > 0, "the main window's timer stopped under the box");
    QCOMPARE(urlWhileOpen, QString());
    QCOMPARE(boxesAfterOtherClick, 1);
    QCOMPARE(visibleBoxes(), 0);
    QCOMPARE(boxResult, int(ResultOk));
    QVERIFY(messages.calls.isEmpty()); // not the standard message box

    // Answered: the main window takes input again.
    typeIntoUrlBox(main);
    QCOMPARE(test::ctl<QLineEdit>(main, "addressBox")->text(), QStringLiteral("z"));
}

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
