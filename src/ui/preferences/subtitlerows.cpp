#include "subtitlerows.h"
#include "desktop/subtitlekeys.h"
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace vidrona::ui::preferences {

using desktop::subtitleLanguages;

SubtitleRows::SubtitleRows(QWidget *parent, QFormLayout *form)
{
    subtitlesBox = new QLineEdit(parent);
    subtitlesBox->setObjectName(QStringLiteral("subtitlesBox"));
    subtitlesBox->setPlaceholderText(QStringLiteral("None, or languages such as en, de"));
    subtitlesPlaceBox = new QComboBox(parent);
    subtitlesPlaceBox->setObjectName(QStringLiteral("subtitlesPlaceBox"));
    subtitlesPlaceBox->addItems({QStringLiteral("Beside the video"), QStringLiteral("Inside the video")});
    // Where they go is of use only when some are asked for.
    QObject::connect(subtitlesBox, &QLineEdit::textChanged, subtitlesPlaceBox,
                     [this](const QString &text) { subtitlesPlaceBox->setEnabled(!subtitleLanguages(text).isEmpty()); });
    subtitlesPlaceBox->setEnabled(false);
    form->addRow(QStringLiteral("Subtitles:"), subtitlesBox);
    form->addRow(QStringLiteral("Save subtitles:"), subtitlesPlaceBox);
}

void SubtitleRows::set(const QStringList &languages, bool inside)
{
    subtitlesBox->setText(subtitleLanguages(languages.join(QLatin1Char(','))).join(QStringLiteral(", ")));
    subtitlesPlaceBox->setCurrentIndex(inside ? 1 : 0);
}

QStringList SubtitleRows::languages() const
{
    return subtitleLanguages(subtitlesBox->text());
}

bool SubtitleRows::inside() const
{
    return subtitlesPlaceBox->currentIndex() == 1;
}

} // namespace vidrona::ui::preferences
