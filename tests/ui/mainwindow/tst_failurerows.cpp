// A real failure of a row's fetch, from the local web's answer through the
// engine to the window: the row's "Progress" cell and the failure box say
// it in the words the window always used.
#include "queuefixture.h"
#include "ui/mainwindow/queuetexts.h"

using namespace vidrona;
using namespace vidrona::test;
using testweb::Response;
Q_DECLARE_METATYPE(testweb::Response)

class TestFailureRows : public QObject
{
    Q_OBJECT
private slots:
    void rowSaysWhy_data();
    void rowSaysWhy();
};

void TestFailureRows::rowSaysWhy_data()
{
    QTest::addColumn<Response>("answer");
    QTest::addColumn<QString>("cell");
    Response stalled = Response::pattern(4096);
    stalled.stallAfterHeaders = true;
    Response cut = Response::pattern(64 * 1024);
    cut.dropAfter = 1000;
    QTest::newRow("not found") << Response::notFound() << "The server answered 404 Not Found";
    QTest::newRow("a web page") << Response::html("<html><body>Sign in</body></html>")
                                << "The server sent a web page instead of the video";
    QTest::newRow("stalled") << stalled << "No data came for 2 seconds"; // the fixture's stall time
    QTest::newRow("redirect to link-local") << Response::redirect("http://169.254.169.254/latest/meta-data/")
                                            << "A redirect to http://169.254.169.254 was refused.";
    QTest::newRow("cut off") << cut << "The connection broke off before the answer was complete.";
}

void TestFailureRows::rowSaysWhy()
{
    QFETCH(Response, answer);
    QFETCH(QString, cell);
    QueueFixture f;
    f.load({"bad.flv:PENDING"});
    f.route("bad.flv", answer);
    QVERIFY(f.press());
    QCOMPARE(f.statuses(), QStringList({"FAILED"}));
    QCOMPARE(f.list().at(0).progress, cell);
    QCOMPARE(f.messages.calls.size(), 1);
    QCOMPARE(f.messages.calls[0].text, ui::mainwindow::queueFailureText() + "\r\n" + cell);
}

QTEST_MAIN(TestFailureRows)
#include "tst_failurerows.moc"
