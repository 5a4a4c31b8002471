#include "qualitywindow.h"
#include "qualitytexts.h"
#include "ui/named.h"
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vidrona::ui::mainwindow {

namespace {

// Enough lines to choose from without scrolling for the usual ladders,
// and room for a long line without the window growing past a screen.
constexpr int ShownLines = 8;
constexpr int MaxWidth = 900;

// Every line shown whole, up to ShownLines of them; a longer list scrolls.
void fitList(QListWidget *list, int lines)
{
    const int line = list->sizeHintForRow(0) > 0 ? list->sizeHintForRow(0) : list->fontMetrics().height() + 4;
    list->setFixedHeight(line * qMin(qMax(lines, 1), ShownLines) + 2 * list->frameWidth() + 2);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const int scrollBar = lines > ShownLines ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    list->setMinimumWidth(qMin(list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar + 8, MaxWidth));
}

} // namespace

QualityWindow::QualityWindow(const QString &name, const QList<download::streams::Quality> &qualities,
                             const QStringList &subtitles, int highlighted, QWidget *parent,
                             const QStringList &subtitleLabels)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Choose a Quality"));
    auto *layout = new QVBoxLayout(this);
    auto *caption = named<QLabel>(this, "lblVideo", QStringLiteral("\"%1\" comes in several qualities:").arg(name));
    caption->setTextFormat(Qt::PlainText);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    m_qualities = named<QListWidget>(this, "lstQualities");
    for (const download::streams::Quality &q : qualities)
        m_qualities->addItem(lineOf(q));
    m_qualities->setCurrentRow(qBound(0, highlighted, int(qualities.size()) - 1));
    fitList(m_qualities, int(qualities.size()));
    layout->addWidget(m_qualities);
    if (!subtitles.isEmpty()) {
        layout->addWidget(named<QLabel>(this, "lblSubtitles", QStringLiteral("Subtitles to save with it:")));
        m_subtitles = named<QListWidget>(this, "lstSubtitles");
        for (qsizetype i = 0; i < subtitles.size(); ++i) {
            auto *item = new QListWidgetItem(subtitleLabels.value(i, subtitles[i]), m_subtitles);
            item->setData(Qt::UserRole, subtitles[i]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Unchecked);
        }
        fitList(m_subtitles, int(subtitles.size()));
        layout->addWidget(m_subtitles);
    }
    auto *buttons = named<QDialogButtonBox>(this, "buttons", QDialogButtonBox::Cancel);
    QPushButton *add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("addButton"));
    add->setDefault(true); // Enter, wherever the focus is in the lists
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_qualities, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
    m_qualities->setFocus();
}

int QualityWindow::chosen() const
{
    return result() == Accepted ? m_qualities->currentRow() : -1;
}

QStringList QualityWindow::subtitles() const
{
    QStringList ticked;
    if (!m_subtitles || result() != Accepted)
        return ticked;
    for (int i = 0; i < m_subtitles->count(); ++i)
        if (m_subtitles->item(i)->checkState() == Qt::Checked)
            ticked << m_subtitles->item(i)->data(Qt::UserRole).toString();
    return ticked;
}

QString QualityWindow::lineOf(const download::streams::Quality &quality)
{
    QString line = describeQuality(quality);
    if (line.isEmpty())
        line = quality.video ? QStringLiteral("picture of unknown size") : QStringLiteral("sound only");
    if (!quality.video && !quality.language.isEmpty())
        line += QStringLiteral(" (%1)").arg(quality.language);
    return line;
}

} // namespace vidrona::ui::mainwindow
