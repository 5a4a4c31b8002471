#include "subtitlerows.h"
#include "desktop/subtitlekeys.h"
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace vidrona {

SubtitleRows::SubtitleRows(QWidget *parent, QFormLayout *form)
{
    txtSubtitles = new QLineEdit(parent);
    txtSubtitles->setObjectName(QStringLiteral("txtSubtitles"));
    txtSubtitles->setPlaceholderText(QStringLiteral("None, or languages such as en, de"));
    cmbSubtitlesPlace = new QComboBox(parent);
    cmbSubtitlesPlace->setObjectName(QStringLiteral("cmbSubtitlesPlace"));
    cmbSubtitlesPlace->addItems({QStringLiteral("Beside the video"), QStringLiteral("Inside the video")});
    // Where they go is of use only when some are asked for.
    QObject::connect(txtSubtitles, &QLineEdit::textChanged, cmbSubtitlesPlace,
                     [this](const QString &text) { cmbSubtitlesPlace->setEnabled(!subtitleLanguages(text).isEmpty()); });
    cmbSubtitlesPlace->setEnabled(false);
    form->addRow(QStringLiteral("Subtitles:"), txtSubtitles);
    form->addRow(QStringLiteral("Save subtitles:"), cmbSubtitlesPlace);
}

void SubtitleRows::set(const QStringList &languages, bool inside)
{
    txtSubtitles->setText(subtitleLanguages(languages.join(QLatin1Char(','))).join(QStringLiteral(", ")));
    cmbSubtitlesPlace->setCurrentIndex(inside ? 1 : 0);
}

QStringList SubtitleRows::languages() const
{
    return subtitleLanguages(txtSubtitles->text());
}

bool SubtitleRows::inside() const
{
    return cmbSubtitlesPlace->currentIndex() == 1;
}

} // namespace vidrona
