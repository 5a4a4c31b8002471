#include "savechoicesbox.h"
#include "subtitlerows.h"
#include <QComboBox>
#include <QFormLayout>

namespace vidrona {

SaveChoicesBox::SaveChoicesBox(QWidget *parent) : QWidget(parent)
{
    cmbQuality = new QComboBox(this);
    cmbQuality->setObjectName(QStringLiteral("cmbQuality"));
    cmbQuality->addItem(QStringLiteral("Best"), QByteArray("best"));
    for (const char *height : {"2160", "1440", "1080", "720", "480"})
        cmbQuality->addItem(QStringLiteral("Up to %1p").arg(QLatin1String(height)), QByteArray(height));
    cmbQuality->addItem(QStringLiteral("Sound only"), QByteArray("sound"));
    cmbQuality->addItem(QStringLiteral("Ask me"), QByteArray("ask"));
    cmbSoundAs = new QComboBox(this);
    cmbSoundAs->setObjectName(QStringLiteral("cmbSoundAs"));
    cmbSoundAs->addItems({QStringLiteral("As sent"), QStringLiteral("MP3")});
    cmbMp3Quality = new QComboBox(this);
    cmbMp3Quality->setObjectName(QStringLiteral("cmbMp3Quality"));
    for (int level = 0; level <= 4; ++level)
        cmbMp3Quality->addItem(QStringLiteral("V%1").arg(level));
    // The level is of use for an MP3 only.
    connect(cmbSoundAs, &QComboBox::currentIndexChanged, this,
            [this](int index) { cmbMp3Quality->setEnabled(index == 1); });
    cmbMp3Quality->setEnabled(false);
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("When a video comes in several qualities:"), cmbQuality);
    form->addRow(QStringLiteral("Save sound as:"), cmbSoundAs);
    form->addRow(QStringLiteral("MP3 quality:"), cmbMp3Quality);
    m_subtitles = std::make_unique<SubtitleRows>(this, form);
}

SaveChoicesBox::~SaveChoicesBox() = default;

void SaveChoicesBox::setChoices(const SaveChoices &choices)
{
    const int at = cmbQuality->findData(choices.quality);
    cmbQuality->setCurrentIndex(at < 0 ? 0 : at);
    cmbSoundAs->setCurrentIndex(choices.mp3 ? 1 : 0);
    cmbMp3Quality->setCurrentIndex(qBound(0, choices.mp3Quality, 4));
    m_subtitles->set(choices.subtitles, choices.subtitlesInside);
}

SaveChoices SaveChoicesBox::choices() const
{
    SaveChoices c;
    c.quality = cmbQuality->currentData().toByteArray();
    c.mp3 = cmbSoundAs->currentIndex() == 1;
    c.mp3Quality = cmbMp3Quality->currentIndex();
    c.subtitles = m_subtitles->languages();
    c.subtitlesInside = m_subtitles->inside();
    return c;
}

} // namespace vidrona
