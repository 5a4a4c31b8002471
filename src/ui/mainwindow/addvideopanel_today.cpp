// "Add Video" for an address of today's web: the probe works in the
// background while the window goes on; its finding becomes a row.
#include "addvideopanel.h"
#include "download/liststore.h"
#include "resolve/videoprobe.h"
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace vidrona {

void AddVideoPanel::TodaysWeb()
{
    if (!m_probe) {
        m_probe = new VideoProbe(this);
        connect(m_probe, &VideoProbe::finished, this, &AddVideoPanel::todaysWebFound);
    }
    if (!m_probe->start(VideoUrl))
        return;
    m_resolving = true;
    m_escape->setEnabled(true);
    m_ui.cmdAddVideo->window()->setCursor(Qt::BusyCursor);
}

void AddVideoPanel::todaysWebFound(const ProbeResult &result)
{
    m_escape->setEnabled(false);
    m_ui.cmdAddVideo->window()->unsetCursor();
    const bool found = result.kind == ProbeResult::File || result.kind == ProbeResult::Stream;
    FileUrl = found ? result.fileUrl : QString();
    switch (result.kind) {
    case ProbeResult::File:
    case ProbeResult::Stream: // its playlist's address: the fetch joins the pieces into one file
        m_store.Download(result.fileUrl, result.fileName);
        break;
    case ProbeResult::Refused: // live, protected, too large or broken: says which
    case ProbeResult::Nothing: // says what was found instead
        m_store.messages().show(result.why, QStringLiteral("Link Error..."), MsgInformation);
        break;
    }
    endResolving();
}

// Cancelled: nothing to add or tell.
void AddVideoPanel::todaysWebEnded()
{
    m_escape->setEnabled(false);
    m_ui.cmdAddVideo->window()->unsetCursor();
    endResolving();
}

} // namespace vidrona
