#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>

class FtpClient;
class QString;

// The update sites compiled into the program, the site list the user chooses from, and small
// services the dialogs that transfer files share.
namespace UpdateSites {

struct Site
{
    QByteArray password;
    QByteArray user; // empty: anonymous
    int defaultPort = 21;
    QByteArray url; // "ftp://host[:port]"
};

inline constexpr int siteCount = 3;

// From the deployment values; the table's shape is fixed.
[[nodiscard]] const std::array<Site, siteCount> &updateSites();
// Replaces one row (tests point a site at a local server); a number outside the table does nothing.
void setUpdateSite(int siteNumber, const Site &site);

// One entry of the catalog text "Saits": "1Second server" is site 1 shown as "Second server".
struct SiteListEntry
{
    int siteNumber = 0; // the entry's leading number, 0 without one
    QByteArray displayName; // the entry without its first character
};
[[nodiscard]] SiteListEntry parseSiteListEntry(QByteArrayView entry);
// The entries of "Saits" split at '/', in the order in which sites are tried.
[[nodiscard]] QList<SiteListEntry> siteList();

// Queues the connection and login to one site of the table; a number outside the table queues
// nothing and gives false.
bool connectSite(FtpClient &ftp, int siteNumber);

// "Unconnected" ... "Closing" for 0 to 5, empty otherwise.
[[nodiscard]] QByteArray stateName(int state);
// "state=%d:" followed by the name, as the state report shows it.
[[nodiscard]] QByteArray stateReport(int state);

// True for a valid URL with the scheme "ftp" and a path; otherwise the warning box tells why
// ("Error: Invalid URL", "Error: URL must start with 'ftp:'", "Error: URL has no path"). It takes
// the text because the scheme is compared as written, and QUrl lowers it.
bool checkFtpUrl(const QString &url);

} // namespace UpdateSites
