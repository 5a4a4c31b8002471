// "Add Video" asks the resolver table and shows its answer; addresses from
// elsewhere wait their turn here.
#include "addvideopanel.h"
#include "desktop/openurl.h"
#include "download/service/downloadservice.h"
#include "desktop/messages.h"
#include "download/streams/qualitychoice.h"
#include "refusaltexts.h"
#include "qualitywindow.h"
#include "resolve/resolvertable.h"
#include "resolve/tabname.h"
#include "resolve/ytdlp/siteoffer.h"
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QWidget>
#include <utility>

namespace vidrona::ui::mainwindow {

using desktop::AnswerYes;
using desktop::HandedAddress;
using desktop::MsgInformation;
using desktop::MsgQuestion;
using desktop::MsgYesNo;
using desktop::OpenUrl;
using desktop::RowExtras;

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
    if (resolving() || m_asking || m_waiting.isEmpty())
        return;
    const HandedAddress next = m_waiting.takeFirst();
    m_extras = next.extras;
    m_tabTitle = next.title;
    startAddress(next.address);
}

void AddVideoPanel::startAddress(const QString &address)
{
    resolve::Ask ask{address, resolve::Quality(selectedQuality()), {}, {}, m_service.settings().quality};
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
        m_ui.addressBox->window()->setCursor(Qt::WaitCursor);
    else if (at->waiting() == resolve::Waiting::Busy)
        m_ui.addressBox->window()->setCursor(Qt::BusyCursor);
}

// foundFileAddress never keeps an earlier video's address past a refusal.
void AddVideoPanel::showAnswer(const resolve::Answer &answer)
{
    m_escape->setEnabled(false);
    m_ui.addressBox->window()->unsetCursor(); // nothing more is waited for
    if (!m_resolvingKey.isEmpty())
        m_service.extras().forget(std::exchange(m_resolvingKey, QString()));
    switch (answer.outcome) {
    case resolve::Answer::Found:
        if (answer.question.asked && m_messages.show(questionText(answer.question), QString(), MsgYesNo | MsgQuestion) != AnswerYes)
            break;
        foundFileAddress = answer.rows.first().fileUrl;
        for (const resolve::Found &found : answer.rows)
            asksFor(found) ? m_toAsk.append(found) : take(found);
        break;
    case resolve::Answer::Refused:
        foundFileAddress.clear();
        m_messages.show(refusalText(answer.refusal), QStringLiteral("Link Error..."),
                        MsgInformation);
        break;
    case resolve::Answer::Cancelled:
        break;
    }
    if (!m_toAsk.isEmpty() && !m_asking)
        return askNext(); // the next address once they are answered
    if (m_asking)
        return; // the window open says when
    QMetaObject::invokeMethod(this, &AddVideoPanel::takeNext, Qt::QueuedConnection);
}

// With "Ask me", a row that comes in several qualities (or with subtitles)
// is asked for, whether it was pasted, dropped or handed over: the choice
// is the user's for every video that comes in, a site's formats read by
// yt-dlp as much as a stream's qualities.
bool AddVideoPanel::asksFor(const resolve::Found &found) const
{
    return found.kind == resolve::Found::Row && found.offer.worthAsking() && m_service.settings().quality == "ask";
}

// The window opens without a loop of its own: the main window goes on
// (its list, its progress, its fetches) while it is open, only its input
// held as for any box of its own; the answer comes back through
// finished().
void AddVideoPanel::askNext()
{
    if (m_toAsk.isEmpty()) {
        m_asking = false;
        return takeNext();
    }
    m_asking = true;
    const resolve::Found found = m_toAsk.takeFirst();
    const resolve::Offer &offer = found.offer;
    const QString name = offer.name.isEmpty() ? found.fileName.value_or(found.fileUrl) : offer.name;
    const int highlighted = offer.preferred >= 0 ? offer.preferred : download::streams::chooseVideo(offer.qualities, {});
    auto *window = new QualityWindow(name, offer.qualities, offer.subtitles, highlighted, m_ui.addressBox->window(),
                                     offer.subtitleLabels);
    window->setObjectName(QStringLiteral("frmQuality"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QDialog::finished, this, [this, window, found] {
        if (window->chosen() >= 0)
            addChosen(found, window->chosen(), window->subtitles());
        QMetaObject::invokeMethod(this, &AddVideoPanel::askNext, Qt::QueuedConnection);
    });
    window->open();
}

// The row named for the quality taken ("Talk (720p).mp4"): a stream's
// fetch takes the quality from that name; a page's file is that quality;
// a site's row keeps the formats picked in its record.
void AddVideoPanel::addChosen(resolve::Found row, int index, const QStringList &subtitles)
{
    const bool mp3 = m_service.settings().mp3Quality >= 0;
    if (!row.siteVideo.isEmpty()) {
        const std::optional<resolve::Found> picked = resolve::ytdlp::pickedSiteRow(row, index, mp3);
        if (!picked)
            return; // the window offers only the lines a row can be made of
        foundFileAddress = picked->fileUrl;
        addRow(*picked, subtitles);
        return;
    }
    const resolve::Offer &offer = row.offer;
    const download::streams::QualityChoice choice = download::streams::choiceFor(offer.qualities, index);
    const bool stream = offer.files.isEmpty();
    if (!stream)
        row.fileUrl = offer.files.value(index);
    const QString name = offer.name.isEmpty() ? row.fileName.value_or(QString()) : offer.name;
    if (!name.isEmpty())
        row.fileName = download::streams::nameWithChoice(name, choice, stream && mp3);
    foundFileAddress = row.fileUrl;
    addRow(row, subtitles);
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

// Every row an address becomes is added here, and only here. The subtitle
// languages chosen go with the row's extras, as the list file keeps none;
// what its file is to say of itself goes with it too.
bool AddVideoPanel::addRow(const resolve::Found &row, const QStringList &subtitles)
{
    bool added = false;
    if (!row.siteVideo.isEmpty()) {
        added = m_service.addSiteVideo(row.fileUrl, row.fileName.value_or(QString()), row.siteVideo);
        RowExtras extras;
        extras.subtitles = subtitles;
        if (added && !subtitles.isEmpty())
            m_service.extras().keep(row.fileUrl, extras);
    } else {
        const QString name = resolve::nameForTab(row.fileUrl, row.fileName.value_or(QString()), m_tabTitle);
        RowExtras extras = m_extras;
        extras.subtitles = subtitles;
        added = extras.isEmpty() ? m_service.add(row.fileUrl, name) : m_service.add(row.fileUrl, name, extras);
    }
    if (added && !row.tags.isEmpty())
        m_service.keepTags(row.fileUrl, row.tags);
    // The user asked the browser to download it: the row starts at once.
    if (added && !m_extras.isEmpty() && row.siteVideo.isEmpty())
        m_service.start();
    return added;
}

int AddVideoPanel::selectedQuality() const
{
    resolve::Quality q = resolve::Quality::None;
    if (m_ui.lowQualityOption->isChecked())
        q = resolve::Quality::Low;
    else if (m_ui.highQualityOption->isChecked())
        q = resolve::Quality::High;
    else if (m_ui.aviQualityOption->isChecked())
        q = resolve::Quality::Avi;
    return int(q);
}

} // namespace vidrona::ui::mainwindow
