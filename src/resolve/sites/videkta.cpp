// Videkta: the file address follows from the video number alone.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"

namespace vidrona::resolve {

const Site &videktaSite()
{
    static const Site site{QStringLiteral("Videkta"), hosts::Videkta,
                           QStringLiteral("/?video_id=147629"), hosts::Videkta,
                           QStringLiteral("/index.php?srch_str=")};
    return site;
}

std::optional<QString> Videkta(const QString &videoUrl)
{
    const qsizetype eq = videoUrl.indexOf(QLatin1Char('='));
    const QString id = eq < 0 ? videoUrl : videoUrl.mid(eq + 1);
    // A video number is plain digits; 15 of them still divide exactly.
    if (id.isEmpty() || id.size() > 15)
        return std::nullopt;
    for (const QChar c : id)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    // Ten thousand videos to a folder, numbered from 1 up.
    const qulonglong folder = (id.toULongLong() + 9999) / 10000;
    return QStringLiteral("http://") + hosts::Videkta + QStringLiteral("/flv/")
           + QString::number(folder) + QLatin1Char('/') + id + QStringLiteral(".flv");
}

namespace {

// Nothing to fetch: answered from inside start().
class VidektaResolver : public SiteResolver
{
public:
    VidektaResolver() : SiteResolver(videktaSite()) {}

protected:
    void work() override { answerWith(Videkta(ask().address)); }
};

} // namespace

std::unique_ptr<Resolver> videktaResolver()
{
    return std::make_unique<VidektaResolver>();
}

} // namespace vidrona::resolve
