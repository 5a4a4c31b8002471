#include "listtexts.h"
#include "failuretexts.h"
#include "desktop/messages.h"
#include "download/downloadlist.h"
#include "download/service/downloadservice.h"

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using desktop::MsgCritical;
using desktop::MsgInformation;
using download::DownloadList;
using download::ListNotice;
using download::service::DownloadService;

namespace {

QString saveFailedText(const ListNotice &n)
{
    // A list left alone since the start has no reason of the system's.
    const QString why = n.onDisk == ListNotice::OnDisk::AsFound ? QStringLiteral("it could not be read at start")
                                                                 : n.reason;
    const QString head = QStringLiteral("The download list could not be saved to %1 (%2). ").arg(n.path, why);
    switch (n.onDisk) {
    case ListNotice::OnDisk::AsFound: return head + QStringLiteral("The file on disk is left as it was found at start.");
    case ListNotice::OnDisk::SavedBefore: return head + QStringLiteral("The list on disk is the one saved before.");
    case ListNotice::OnDisk::Nothing: break;
    }
    return head + QStringLiteral("No list is on disk: nothing was saved.");
}

} // namespace

QString listNoticeText(const ListNotice &n)
{
    switch (n.kind) {
    case ListNotice::Kind::Unreadable:
        return QStringLiteral("The download list %1 could not be read (%2). It is left as it is: "
                              "the list starts empty and is not saved until the program is "
                              "started again.")
            .arg(n.path, n.notPlain ? notPlainWords() : n.reason);
    case ListNotice::Kind::LinesNotRows:
        return QStringLiteral("%1 lines of the download list %2 could not be read as rows. They "
                              "stay at the end of the file as they are; the rows around them are "
                              "shown.")
            .arg(n.count)
            .arg(n.path);
    case ListNotice::Kind::RowsHidden:
        return QStringLiteral("The download list %1 holds %2 more rows than can be shown "
                              "(at most %3). They stay in the file as they are and are shown "
                              "at a later start once rows have been removed.")
            .arg(n.path)
            .arg(n.count)
            .arg(DownloadList::MaxRows);
    case ListNotice::Kind::SaveFailed: return saveFailedText(n);
    case ListNotice::Kind::AddRefused: break;
    }
    return addRefusedText();
}

QString listNoticeTitle(const ListNotice &n)
{
    return n.kind == ListNotice::Kind::AddRefused ? QStringLiteral("Error") : QString();
}

int listNoticeFlags(const ListNotice &n)
{
    const bool critical = n.kind == ListNotice::Kind::AddRefused || n.kind == ListNotice::Kind::Unreadable;
    return critical ? MsgCritical : MsgInformation;
}

QString addRefusedText()
{
    return QStringLiteral("Please enter a valid file location.\r\n\r\n"
                          "NOTE : make sure you only enter the file once, it cannot be added twice or more");
}

void sayListNotices(DownloadService &service, MessageService &messages)
{
    QObject::connect(&service, &DownloadService::listNotice, &service, [&messages](const ListNotice &n) {
        messages.show(listNoticeText(n), listNoticeTitle(n), listNoticeFlags(n));
    });
}

} // namespace vidrona::ui::mainwindow
