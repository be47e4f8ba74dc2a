#include "platform/ftp/updatesites.h"

#include "platform/ftp/ftpclient.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/strings.h"

#include <QUrl>

#include <deployment.h>

namespace {

std::array<UpdateSites::Site, UpdateSites::siteCount> &table()
{
    using UpdateSites::Site;
    static std::array<Site, UpdateSites::siteCount> sites{{
        {Deployment::site0Password, Deployment::site0User, 21, Deployment::site0Url},
        {Deployment::site1Password, Deployment::site1User, 21, Deployment::site1Url},
        {Deployment::site2Password, Deployment::site2User, 21, Deployment::site2Url},
    }};
    return sites;
}

} // namespace

const std::array<UpdateSites::Site, UpdateSites::siteCount> &UpdateSites::updateSites()
{
    return table();
}

void UpdateSites::setUpdateSite(int siteNumber, const Site &site)
{
    if (siteNumber >= 0 && siteNumber < siteCount)
        table()[size_t(siteNumber)] = site;
}

UpdateSites::SiteListEntry UpdateSites::parseSiteListEntry(QByteArrayView entry)
{
    return {Strings::number(entry), entry.isEmpty() ? QByteArray() : entry.sliced(1).toByteArray()};
}

QList<UpdateSites::SiteListEntry> UpdateSites::siteList()
{
    QList<SiteListEntry> entries;
    for (const QByteArray &entry : Catalog::list("Saits"))
        entries << parseSiteListEntry(entry);
    return entries;
}

bool UpdateSites::connectSite(FtpClient &ftp, int siteNumber)
{
    if (siteNumber < 0 || siteNumber >= siteCount)
        return false;
    const Site &site = updateSites()[size_t(siteNumber)];
    const QUrl url(CodePage::toUnicode(site.url));
    ftp.connectToHost(url.host(), quint16(url.port(site.defaultPort)));
    ftp.login(CodePage::toUnicode(site.user), CodePage::toUnicode(site.password));
    return true;
}

QByteArray UpdateSites::stateName(int state)
{
    static const char *const names[]
        = {"Unconnected", "HostLookup", "Connecting", "Connected", "LoggedIn", "Closing"};
    if (state < 0 || state >= int(std::size(names)))
        return {};
    return names[state];
}

QByteArray UpdateSites::stateReport(int state)
{
    return "state=" + QByteArray::number(state) + ':' + stateName(state);
}

bool UpdateSites::checkFtpUrl(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isValid()) {
        Diagnostics::warning("Error: Invalid URL");
        return false;
    }
    // A valid URL that begins so has exactly the scheme "ftp"; "FTP:" or "Ftp:" does not pass.
    if (!url.startsWith(u"ftp:")) {
        Diagnostics::warning("Error: URL must start with 'ftp:'");
        return false;
    }
    if (parsed.path().isEmpty()) {
        Diagnostics::warning("Error: URL has no path");
        return false;
    }
    return true;
}
