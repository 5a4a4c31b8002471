#include "offers.h"
#include "desktop/subtitlekeys.h"
#include <QHash>
#include <QRegularExpression>

namespace vidrona::download::subtitles {

using desktop::subtitleLanguages;

QByteArray Wish::recordText() const
{
    if (languages.isEmpty())
        return {};
    return languages.join(QLatin1Char(',')).toLatin1() + (inside ? " inside" : "");
}

Wish Wish::fromRecordText(const QByteArray &text)
{
    const QList<QByteArray> words = text.simplified().split(' ');
    Wish wish;
    wish.languages = languageList(QString::fromLatin1(words.value(0)));
    wish.inside = words.value(1) == "inside";
    return wish;
}

QStringList languageList(const QString &text)
{
    return subtitleLanguages(text);
}

namespace {
QString mainPart(const QString &language)
{
    return language.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
}
} // namespace

int offerFor(const QList<Offer> &offers, const QString &language)
{
    int best = -1, bestRank = 0;
    for (int i = 0; i < offers.size(); ++i) {
        const Offer &o = offers.at(i);
        const bool exact = o.language.compare(language, Qt::CaseInsensitive) == 0;
        if (!exact && mainPart(o.language) != mainPart(language))
            continue;
        const int rank = (o.automatic ? 0 : 2) + (exact ? 1 : 0) + 1;
        if (rank > bestRank)
            best = i, bestRank = rank;
    }
    return best;
}

QString offerLabel(const Offer &offer)
{
    const QString name = offer.name.trimmed();
    QString label = name.isEmpty() || name == offer.language ? offer.language
                                                             : QStringLiteral("%1 (%2)").arg(name, offer.language);
    if (offer.automatic)
        label += QStringLiteral(" (automatic)");
    return label;
}

QByteArray containerLanguage(const QString &language)
{
    // The languages most subtitles come in; ISO 639-2/T, as MP4 wants.
    static const QHash<QString, QByteArray> codes{
        {"ar", "ara"}, {"bg", "bul"}, {"ca", "cat"}, {"cs", "ces"}, {"da", "dan"}, {"de", "deu"}, {"el", "ell"},
        {"en", "eng"}, {"es", "spa"}, {"et", "est"}, {"fa", "fas"}, {"fi", "fin"}, {"fr", "fra"}, {"he", "heb"},
        {"hi", "hin"}, {"hr", "hrv"}, {"hu", "hun"}, {"id", "ind"}, {"it", "ita"}, {"ja", "jpn"}, {"ko", "kor"},
        {"lt", "lit"}, {"lv", "lav"}, {"ms", "msa"}, {"nb", "nob"}, {"nl", "nld"}, {"no", "nor"}, {"pl", "pol"},
        {"pt", "por"}, {"ro", "ron"}, {"ru", "rus"}, {"sk", "slk"}, {"sl", "slv"}, {"sr", "srp"}, {"sv", "swe"},
        {"th", "tha"}, {"tr", "tur"}, {"uk", "ukr"}, {"vi", "vie"}, {"zh", "zho"}};
    const QString main = mainPart(language);
    if (main.size() == 3 && main.front().isLetter())
        return main.toLatin1();
    return codes.value(main, "und");
}

} // namespace vidrona::download::subtitles
