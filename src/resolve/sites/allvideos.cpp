// AllVideos: the page's player variable holds the pieces of the file address.
#include "resolve/hosts.h"
#include "resolve/resolvers.h"
#include "resolve/site.h"
#include "resolve/siteresolver.h"
#include "resolve/textops.h"

namespace vidrona::resolve {

const Site &allVideosSite()
{
    // The site offers no search page.
    static const Site site{QStringLiteral("AllVideos"), hosts::AllVideos,
                           QStringLiteral("/video.php?uid=LNNQPVMSP"), hosts::AllVideos, QString()};
    return site;
}

using text::findFrom;
using text::textFrom;

std::optional<QString> AllVideos(const QString &page)
{
    const QString marker = QStringLiteral("file=http://") + hosts::AllVideos + QStringLiteral("/xml.php?uid=");
    const int pos = findFrom(page, marker, 1);
    if (pos == 0)
        return std::nullopt;
    const int a = pos + int(marker.size());
    const int slash = findFrom(page, QStringLiteral("/"), a);
    if (slash == 0)
        return std::nullopt;
    const QString uid = textFrom(page, a, slash - a);
    // One character after the "/" is skipped.
    const int colon = findFrom(page, QStringLiteral(":"), slash + 2);
    if (colon == 0)
        return std::nullopt;
    const QString folder = textFrom(page, slash + 2, colon - slash - 2);
    const int quote = findFrom(page, QStringLiteral("\""), colon);
    if (quote == 0)
        return std::nullopt;
    const QString piece = textFrom(page, colon + 1, quote - (colon + 1));
    return QStringLiteral("http://") + hosts::AllVideos + QLatin1Char('/') + uid + QLatin1Char('/')
           + folder + QStringLiteral("/videos/") + piece + QStringLiteral(".flv");
}

namespace {

class AllVideosResolver : public SiteResolver
{
public:
    AllVideosResolver() : SiteResolver(allVideosSite()) {}
    Waiting waiting() const override { return Waiting::Hourglass; }

protected:
    void work() override
    {
        readSitePage([this](const QString &page) { answerWith(AllVideos(page)); });
    }
};

} // namespace

std::unique_ptr<Resolver> allVideosResolver()
{
    return std::make_unique<AllVideosResolver>();
}

} // namespace vidrona::resolve
