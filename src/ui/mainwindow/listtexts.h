#pragma once
#include "download/listnotice.h"
#include <QString>

// The words of the download list's own boxes: a list that cannot be read
// or saved, rows not shown, a refused address. The list sends only which
// case it is, with the file, the counts and the system's reason.
namespace vidrona::desktop {
class MessageService;
}
namespace vidrona::download::service {
class DownloadService;
}

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using download::ListNotice;
using download::service::DownloadService;

// The box's text for a notice.
QString listNoticeText(const ListNotice &notice);
// Its title (empty: the program's own) and its MessageFlags.
QString listNoticeTitle(const ListNotice &notice);
int listNoticeFlags(const ListNotice &notice);

// The text of the box for an address the list does not take.
QString addRefusedText();

// Every notice of service's list goes to messages as its box, at once.
void sayListNotices(DownloadService &service, MessageService &messages);

} // namespace vidrona::ui::mainwindow
