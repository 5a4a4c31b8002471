#include "ytdlpgroup.h"
#include "resolve/ytdlp/finder.h"
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QThread>

namespace vidrona::ui::preferences {

using desktop::YtDlpPreferences;
using desktop::cookieBrowsers;

YtDlpGroup::YtDlpGroup(QWidget *parent) : QGroupBox(QStringLiteral("yt-dlp"), parent)
{
    setObjectName(QStringLiteral("ytDlpGroup"));
    m_program = new QLineEdit(this);
    m_program->setObjectName(QStringLiteral("ytDlpProgramBox"));
    m_program->setPlaceholderText(QStringLiteral("found on PATH or in ~/.local/bin"));
    m_cookies = new QComboBox(this);
    m_cookies->setObjectName(QStringLiteral("ytDlpCookiesBox"));
    m_cookies->addItem(QStringLiteral("none"), QString());
    for (const QString &browser : cookieBrowsers())
        m_cookies->addItem(browser.left(1).toUpper() + browser.mid(1), browser);
    m_found = new QLabel(this);
    m_found->setObjectName(QStringLiteral("ytDlpVersionLabel"));
    m_found->setWordWrap(true);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Program:"), m_program);
    form->addRow(QStringLiteral("Use my browser's cookies:"), m_cookies);
    form->addRow(m_found);
    connect(m_program, &QLineEdit::editingFinished, this, &YtDlpGroup::describe);
}

// The program box loses its focus while the window's children are taken
// down, after this part of the group is gone: its last "editing finished"
// must not reach describe() then.
YtDlpGroup::~YtDlpGroup()
{
    disconnect(m_program, nullptr, this, nullptr);
}

void YtDlpGroup::show(const YtDlpPreferences &p)
{
    m_program->setText(p.program);
    m_cookies->setCurrentIndex(qMax(0, m_cookies->findData(p.cookiesBrowser)));
    describe();
}

YtDlpPreferences YtDlpGroup::values() const
{
    return {m_program->text().trimmed(), m_cookies->currentData().toString()};
}

// Which program runs, its version and date, and whether it is too old.
void YtDlpGroup::describe()
{
    const QString program = resolve::ytdlp::findProgram({values().program, {}});
    if (program.isEmpty()) {
        m_found->setText(QStringLiteral("yt-dlp was not found: Vidrona reads pages itself only."));
        return;
    }
    m_found->setText(QStringLiteral("%1: asking its version...").arg(program));
    const int asked = ++m_asked;
    QPointer<YtDlpGroup> self(this);
    QThread *thread = QThread::create([self, program, asked] {
        const resolve::ytdlp::Version v = resolve::ytdlp::versionOf(program);
        QMetaObject::invokeMethod(qApp, [self, program, asked, v] {
            if (!self || asked != self->m_asked)
                return;
            QString text = v.text.isEmpty() ? QStringLiteral("%1 does not answer as yt-dlp.").arg(program)
                                            : QStringLiteral("%1, version %2").arg(program, v.text);
            if (v.date.isValid())
                text += QStringLiteral(" (%1)").arg(v.date.toString(Qt::ISODate));
            const QString advice = resolve::ytdlp::updateAdvice(v, QDate::currentDate());
            self->m_found->setText(advice.isEmpty() ? text : text + QLatin1Char('\n') + advice);
        });
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

} // namespace vidrona::ui::preferences
