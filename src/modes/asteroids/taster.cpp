#include "modes/asteroids/taster.h"

#include "forms/layoutbuilder.h"
#include "forms/statestore.h"
#include "installation/hostinstallation.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QSaveFile>
#include <QUrl>

#include <deployment.h>

#include <cstdio>

namespace {

// The asteroid files' folder on the server, below its root.
constexpr char ephemerisFolder[] = "pub/swisseph/ephe/";

QByteArray &sourceUrlOverride()
{
    static QByteArray url;
    return url;
}

void showWarring(const QString &text)
{
    Diagnostics::information(QStringLiteral("Warring"), text);
}

} // namespace

TAster::TAster(QWidget *parent)
    : QDialog(parent)
{
    decorateWindow(this, Catalog::displayText("mainA"),
        WindowDecoration::Window | WindowDecoration::Icon | WindowDecoration::DialogFrame);
    connect(&m_ftp, &FtpClient::done, this, &TAster::astDone);
    if (QLayout *layout = LayoutBuilder::buildLayout("Ast", this))
        setLayout(layout);
}

TAster::~TAster() = default;

QByteArray TAster::sourceUrl()
{
    if (!sourceUrlOverride().isEmpty())
        return sourceUrlOverride();
    QByteArray url = Deployment::asteroidUrl;
    while (url.endsWith('/'))
        url.chop(1);
    return url + '/' + ephemerisFolder;
}

void TAster::setSourceUrl(const QByteArray &url)
{
    sourceUrlOverride() = url;
}

void TAster::Knop()
{
    StateStore::storeDialog(this);
    // "ListA" only stores the dialog's state, like every button.
    WidgetHelpers::dispatchButton(sender(),
        {
            {"Nel", [] { WidgetHelpers::openWebSite(Deployment::webSite); }},
            {"FtpA", [this] { fetchAsteroid(); }},
            {"SaitA", [] { QDesktopServices::openUrl(QUrl(Catalog::displayText("WiAs"))); }},
        });
}

void TAster::fetchAsteroid()
{
    const std::optional<QByteArray> saved = Settings::value("NAst");
    if (!saved) {
        Diagnostics::warning("noNa");
        return;
    }
    // The open file and the connection belong to the download that is still running.
    if (isDownloading()) {
        Diagnostics::warning("AstBusy");
        return;
    }
    m_asteroidNumber = Strings::number(*saved);
    if (m_asteroidNumber < 0 || m_asteroidNumber > largestAsteroid) {
        Diagnostics::warning("ErrNa");
        return;
    }

    const QByteArray localPath = HostInstallation::asteroidFilePath(m_asteroidNumber);
    // Without an ephemeris directory the path would start at the root of the file system, where
    // the folder could be created; the file has no place to go.
    if (!HostInstallation::ephemerisDirectoryFound()) {
        showWarring(QStringLiteral("Error: Cannot create file ") + CodePage::toUnicode(localPath)
            + QStringLiteral(": ") + Catalog::displayText("NoDirEph"));
        return;
    }
    if (QFileInfo::exists(CodePage::toUnicode(localPath))) {
        const QByteArray format = Catalog::checkedFormat("As%is", "ds", "%d: %s");
        Diagnostics::warningf(format.constData(), m_asteroidNumber, localPath.constData());
        return;
    }

    // One folder level only: an ephemeris directory that is missing stays missing, and the
    // file cannot be created in it.
    const QByteArray shortPath = Strings::boundedCopy(localPath, 199);
    const qsizetype cut = shortPath.lastIndexOf(QDir::separator().toLatin1());
    if (cut > 0)
        QDir().mkdir(CodePage::toUnicode(shortPath.left(cut)));

    char remoteName[40];
    std::snprintf(
        remoteName, sizeof remoteName, "ast%d/se%05ds.se1", m_asteroidNumber / 1000, m_asteroidNumber);
    downloadFile(sourceUrl(), remoteName, localPath);
}

bool TAster::downloadFile(const QByteArray &url, const QByteArray &remoteName, const QByteArray &localPath)
{
    const QString sourceText = CodePage::toUnicode(url);
    if (!UpdateSites::checkFtpUrl(sourceText))
        return false;
    const QUrl source(sourceText);

    auto target = std::make_unique<QSaveFile>(CodePage::toUnicode(localPath));
    const qsizetype slash = remoteName.indexOf('/');
    const QByteArray directoryPart = slash < 0 ? QByteArray() : remoteName.left(slash);
    const QByteArray filePart = slash < 0 ? remoteName : remoteName.mid(slash + 1);

    // Unbuffered, so that a full disk fails the transfer's write instead of a commit that would
    // keep a cut file.
    if (!target->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        showWarring(QStringLiteral("Error: Cannot create file ") + target->fileName() + QStringLiteral(": ")
            + target->errorString());
        return false;
    }
    m_target = std::move(target);

    m_ftp.connectToHost(source.host(), quint16(source.port(21)));
    m_ftp.login();
    m_ftp.cd(QString::fromLatin1(ephemerisFolder) + QString::fromLatin1(directoryPart));
    m_ftp.get(QString::fromLatin1(filePart), m_target.get(), FtpClient::Binary);
    m_ftp.close();
    return true;
}

void TAster::astDone(bool error)
{
    // Taken first: the box below runs an event loop in which "FtpA" may be pressed again.
    const std::unique_ptr<QSaveFile> target = std::move(m_target);
    if (error) {
        // Nothing of a failed transfer reaches the asteroid file's name.
        if (target)
            target->cancelWriting();
        // A full ephemeris directory is no fault of the server: the box names the file and why.
        if (m_ftp.isLocalFault() && target)
            showWarring(QStringLiteral("Error: Cannot write file ") + target->fileName()
                + QStringLiteral(": ") + m_ftp.localErrorString());
        else
            showWarring(QStringLiteral("Error: ") + m_ftp.errorString());
        return;
    }
    if (target && !target->commit()) {
        showWarring(QStringLiteral("Error: Cannot create file ") + target->fileName() + QStringLiteral(": ")
            + target->errorString());
        return;
    }
    const QByteArray format = Catalog::checkedFormat("Ast%L", "d", "%d");
    Diagnostics::warningf(format.constData(), m_asteroidNumber);
}
