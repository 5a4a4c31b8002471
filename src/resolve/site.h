#pragma once
#include <QList>
#include <QString>

namespace vidrona::resolve {

// Which quality options the address box reveals for a site.
enum class QualityOptions { Unchanged, LowHigh, LowMp4Avi };

// One supported site: where its pages live, how its address is recognised,
// the sample shown under the address box and its search page. What "Add
// Video" does with its addresses is its resolver's (resolvertable.cpp).
struct Site {
    QString name;
    QString host;        // host of the site's page addresses
    QString samplePath;  // follows "http://" + host in the sample
    QString searchHost;
    QString searchPath;  // follows "http://" + searchHost; empty: no search
    QualityOptions options = QualityOptions::Unchanged;

    // The first 8 characters of the host: what follows "http://".
    QString prefix() const { return host.left(8); }
    QString sampleCaption() const;
    QString homePage() const { return QStringLiteral("http://") + host; }
    bool searchable() const { return !searchPath.isEmpty(); }
    QString searchAddress(const QString &words) const;
};

// The eight sites in the order their prefixes are tested (the order of
// their resolvers in the resolver table).
const QList<const Site *> &SiteTable();

// The sites in the order of the search box's entries.
const QList<const Site *> &SearchSites();

// Characters 8 to 15 of an address: the 8 that follow a 7-character scheme.
QString siteKey(const QString &address);

// The site whose prefix equals the key exactly, or null.
const Site *findSite(const QString &key);

// The search box's words with every blank turned into "+"; nothing else changes.
QString searchWords(const QString &text);

// One unit per site (sites/*.cpp).
const Site &metacafeSite();
const Site &videktaSite();
const Site &tvaliSite();
const Site &allVideosSite();
const Site &youTubeSite();
const Site &breakSite();
const Site &dailyMotionSite();
const Site &googleVideoSite();

} // namespace vidrona::resolve
