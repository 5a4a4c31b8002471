// "Add Video" asks the resolver table and shows its answer; addresses from
// elsewhere wait their turn here.
#include "addvideopanel.h"
#include "desktop/openurl.h"
#include "download/service/downloadservice.h"
#include "desktop/messages.h"
#include "resolve/resolvertable.h"
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QWidget>
#include <utility>

namespace vidrona {

void AddVideoPanel::addAddresses(const QStringList &addresses)
{
    QList<HandedAddress> plain;
    for (const QString &a : addresses)
        plain.append({a, {}});
    addAddresses(plain);
}

void AddVideoPanel::addAddresses(const QList<HandedAddress> &addresses)
{
    m_waiting += addresses;
    takeNext();
}

// The next address waits for the event loop, not for whatever event (a
// close, a message box) ended the one before.
void AddVideoPanel::takeNext()
{
    if (resolving() || m_waiting.isEmpty())
        return;
    const HandedAddress next = m_waiting.takeFirst();
    m_extras = next.extras;
    startAddress(next.address);
}

void AddVideoPanel::startAddress(const QString &address)
{
    resolve::Ask ask{address, resolve::Quality(selectedQuality()), {}, {}};
    // Working the address out may need the browser's cookies too (a page or
    // file only for the logged in); they are kept apart from any row's.
    m_resolvingKey = m_extras.isEmpty() ? QString() : QStringLiteral("resolving:") + address;
    if (!m_resolvingKey.isEmpty() && m_service.extras().keep(m_resolvingKey, m_extras)) {
        ask.fields = m_extras.fields;
        ask.cookieFile = m_service.extras().cookieFileOf(m_resolvingKey);
    }
    m_table->start(ask);
    const resolve::Resolver *at = m_table->running();
    if (!at)
        return; // answered at once
    m_escape->setEnabled(true);
    if (at->waiting() == resolve::Waiting::Hourglass)
        m_ui.txtUrl->window()->setCursor(Qt::WaitCursor);
    else if (at->waiting() == resolve::Waiting::Busy)
        m_ui.txtUrl->window()->setCursor(Qt::BusyCursor);
}

// FileUrl never keeps an earlier video's address past a refusal.
void AddVideoPanel::showAnswer(const resolve::Answer &answer)
{
    m_escape->setEnabled(false);
    m_ui.txtUrl->window()->unsetCursor(); // nothing more is waited for
    if (!m_resolvingKey.isEmpty())
        m_service.extras().forget(std::exchange(m_resolvingKey, QString()));
    switch (answer.outcome) {
    case resolve::Answer::Found:
        if (!answer.question.isEmpty() && m_messages.show(answer.question, QString(), MsgYesNo | MsgQuestion) != AnswerYes)
            break;
        FileUrl = answer.rows.first().fileUrl;
        for (const resolve::Found &found : answer.rows)
            take(found);
        break;
    case resolve::Answer::Refused:
        FileUrl.clear();
        m_messages.show(answer.why, QStringLiteral("Link Error..."), MsgInformation);
        break;
    case resolve::Answer::Cancelled:
        break;
    }
    QMetaObject::invokeMethod(this, &AddVideoPanel::takeNext, Qt::QueuedConnection);
}

void AddVideoPanel::take(const resolve::Found &found)
{
    switch (found.kind) {
    case resolve::Found::Row:
        addRow(found);
        break;
    case resolve::Found::OpenInBrowser:
        OpenUrl(found.fileUrl, m_messages);
        break;
    case resolve::Found::OpenYouTubeWindow:
        m_openYouTubeWindow();
        break;
    }
}

// Every row an address becomes is added here, and only here.
bool AddVideoPanel::addRow(const resolve::Found &row)
{
    if (!row.siteVideo.isEmpty())
        return m_service.addSiteVideo(row.fileUrl, row.fileName.value_or(QString()), row.siteVideo);
    if (m_extras.isEmpty())
        return m_service.add(row.fileUrl, row.fileName.value_or(QString()));
    // The user asked the browser to download it: the row starts at once.
    const bool added = m_service.add(row.fileUrl, row.fileName.value_or(QString()), m_extras);
    if (added)
        m_service.start();
    return added;
}

int AddVideoPanel::selectedQuality() const
{
    resolve::Quality q = resolve::Quality::None;
    if (m_ui.OptLow->isChecked())
        q = resolve::Quality::Low;
    else if (m_ui.OptHigh->isChecked())
        q = resolve::Quality::High;
    else if (m_ui.OptAvi->isChecked())
        q = resolve::Quality::Avi;
    return int(q);
}

} // namespace vidrona
