#include "savechoicesbox.h"
#include "subtitlerows.h"
#include <QComboBox>
#include <QFormLayout>

namespace vidrona::ui::preferences {

using desktop::SaveChoices;

SaveChoicesBox::SaveChoicesBox(QWidget *parent) : QWidget(parent)
{
    qualityBox = new QComboBox(this);
    qualityBox->setObjectName(QStringLiteral("qualityBox"));
    qualityBox->addItem(QStringLiteral("Best"), QByteArray("best"));
    for (const char *height : {"2160", "1440", "1080", "720", "480"})
        qualityBox->addItem(QStringLiteral("Up to %1p").arg(QLatin1String(height)), QByteArray(height));
    qualityBox->addItem(QStringLiteral("Sound only"), QByteArray("sound"));
    qualityBox->addItem(QStringLiteral("Ask me"), QByteArray("ask"));
    soundAsBox = new QComboBox(this);
    soundAsBox->setObjectName(QStringLiteral("soundAsBox"));
    soundAsBox->addItems({QStringLiteral("As sent"), QStringLiteral("MP3")});
    mp3QualityBox = new QComboBox(this);
    mp3QualityBox->setObjectName(QStringLiteral("mp3QualityBox"));
    for (int level = 0; level <= 4; ++level)
        mp3QualityBox->addItem(QStringLiteral("V%1").arg(level));
    // The level is of use for an MP3 only.
    connect(soundAsBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { mp3QualityBox->setEnabled(index == 1); });
    mp3QualityBox->setEnabled(false);
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("When a video comes in several qualities:"), qualityBox);
    form->addRow(QStringLiteral("Save sound as:"), soundAsBox);
    form->addRow(QStringLiteral("MP3 quality:"), mp3QualityBox);
    m_subtitles = std::make_unique<SubtitleRows>(this, form);
}

SaveChoicesBox::~SaveChoicesBox() = default;

void SaveChoicesBox::setChoices(const SaveChoices &choices)
{
    const int at = qualityBox->findData(choices.quality);
    qualityBox->setCurrentIndex(at < 0 ? 0 : at);
    soundAsBox->setCurrentIndex(choices.mp3 ? 1 : 0);
    mp3QualityBox->setCurrentIndex(qBound(0, choices.mp3Quality, 4));
    m_subtitles->set(choices.subtitles, choices.subtitlesInside);
}

SaveChoices SaveChoicesBox::choices() const
{
    SaveChoices c;
    c.quality = qualityBox->currentData().toByteArray();
    c.mp3 = soundAsBox->currentIndex() == 1;
    c.mp3Quality = mp3QualityBox->currentIndex();
    c.subtitles = m_subtitles->languages();
    c.subtitlesInside = m_subtitles->inside();
    return c;
}

} // namespace vidrona::ui::preferences
