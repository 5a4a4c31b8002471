// The words the window makes of what the download list reports: each kind
// of notice, with its file, counts and reason, word for word, and the box
// it comes in.
#include "desktop/messages.h"
#include "download/downloadlist.h"
#include "ui/mainwindow/listtexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;

namespace {
const QString Path = QStringLiteral("/home/ann/.local/share/Vidrona/List");

ListNotice notice(ListNotice::Kind kind, const QString &reason = QString(), int count = 0,
                  ListNotice::OnDisk onDisk = ListNotice::OnDisk::SavedBefore)
{
    ListNotice n;
    n.kind = kind;
    n.path = Path;
    n.reason = reason;
    n.count = count;
    n.onDisk = onDisk;
    return n;
}
} // namespace

class TestListTexts : public QObject
{
    Q_OBJECT
private slots:
    void notices_data();
    void notices();
};

void TestListTexts::notices_data()
{
    QTest::addColumn<ListNotice>("notice");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("flags");
    using K = ListNotice::Kind;
    using D = ListNotice::OnDisk;
    const QString refused = "Please enter a valid file location.\r\n\r\n"
                            "NOTE : make sure you only enter the file once, it cannot be added twice or more";
    QTest::newRow("unreadable") << notice(K::Unreadable, "Permission denied")
                                << "The download list " + Path + " could not be read (Permission denied). It is left "
                                   "as it is: the list starts empty and is not saved until the program is started again."
                                << "" << int(MsgCritical);
    ListNotice notPlain = notice(K::Unreadable);
    notPlain.notPlain = true;
    QTest::newRow("unreadable: not a plain file")
        << notPlain
        << "The download list " + Path + " could not be read (not a plain file). It is left "
           "as it is: the list starts empty and is not saved until the program is started again."
        << "" << int(MsgCritical);
    QTest::newRow("lines that are no rows") << notice(K::LinesNotRows, {}, 5)
                                            << "5 lines of the download list " + Path + " could not be read as rows. "
                                               "They stay at the end of the file as they are; the rows around them are shown."
                                            << "" << int(MsgInformation);
    QTest::newRow("rows past the limit") << notice(K::RowsHidden, {}, 7233)
                                         << "The download list " + Path + " holds 7233 more rows than can be shown "
                                            "(at most 32767). They stay in the file as they are and are shown at a "
                                            "later start once rows have been removed."
                                         << "" << int(MsgInformation);
    QTest::newRow("save failed, list saved before") << notice(K::SaveFailed, "No space left on device", 0, D::SavedBefore)
                                                    << "The download list could not be saved to " + Path + " (No space "
                                                       "left on device). The list on disk is the one saved before."
                                                    << "" << int(MsgInformation);
    QTest::newRow("save failed, no list") << notice(K::SaveFailed, "No space left on device", 0, D::Nothing)
                                          << "The download list could not be saved to " + Path + " (No space left on "
                                             "device). No list is on disk: nothing was saved."
                                          << "" << int(MsgInformation);
    QTest::newRow("save refused, unread list") << notice(K::SaveFailed, {}, 0, D::AsFound)
                                               << "The download list could not be saved to " + Path + " (it could not "
                                                  "be read at start). The file on disk is left as it was found at start."
                                               << "" << int(MsgInformation);
    QTest::newRow("address refused") << notice(K::AddRefused) << refused << "Error" << int(MsgCritical);
}

void TestListTexts::notices()
{
    QFETCH(ListNotice, notice);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(int, flags);
    QCOMPARE(DownloadList::MaxRows, 32767); // the limit the words name
    QCOMPARE(listNoticeText(notice), text);
    QCOMPARE(listNoticeTitle(notice), title);
    QCOMPARE(listNoticeFlags(notice), flags);
    if (notice.kind == ListNotice::Kind::AddRefused)
        QCOMPARE(addRefusedText(), text);
}

QTEST_MAIN(TestListTexts)
#include "tst_listtexts.moc"
