#include "savechoicesbox.h"
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
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("When a video comes in several qualities:"), cmbQuality);
}

void SaveChoicesBox::setChoices(const SaveChoices &choices)
{
    const int at = cmbQuality->findData(choices.quality);
    cmbQuality->setCurrentIndex(at < 0 ? 0 : at);
}

SaveChoices SaveChoicesBox::choices() const
{
    SaveChoices c;
    c.quality = cmbQuality->currentData().toByteArray();
    return c;
}

} // namespace vidrona
