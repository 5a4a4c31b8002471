// Showing the YouTube window from the main window.
#include "youtubeopener.h"
#include "youtubewindow.h"
#include "download/service/downloadservice.h"

namespace vidrona::ui::youtube {

using desktop::MessageService;
using download::service::DownloadService;

YouTubeOpener::YouTubeOpener(const QString &folder, MessageService &messages, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_messages(messages)
{
}

YouTubeOpener::~YouTubeOpener()
{
    // The open window goes on without us: it keeps its own stop flag.
    if (auto *window = qobject_cast<YouTubeWindow *>(m_youTubeWindow.data()))
        window->keepOwnCancelRequest();
}

void YouTubeOpener::setService(DownloadService *service)
{
    m_service = service;
}

void YouTubeOpener::showYouTubeWindow()
{
    // One window while it is open; a closed one is gone and made anew.
    if (!m_youTubeWindow) {
        auto *window = new YouTubeWindow(&m_cancelRequest, m_folder, &m_messages);
        window->useService(m_service);
        window->startUp();
        m_youTubeWindow = window;
    }
    m_youTubeWindow->show();
    m_youTubeWindow->raise();
    m_youTubeWindow->activateWindow();
}

} // namespace vidrona::ui::youtube
