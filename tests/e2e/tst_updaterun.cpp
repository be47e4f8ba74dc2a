// Run mode "Up" in the built program on a private X display, against the three update sites the
// build was configured with (scripts/test points them at 127.0.0.1): an update is downloaded,
// confirmed and installed with its backup, the update log arrives on the site, the backup is
// restored, and closing the window starts the host program. Used with the keyboard only.

#include "common/minisigntool.h"
#include "common/tavinstallation.h"
#include "common/updatesiteserver.h"
#include "common/xvfbdisplay.h"
#include "shell/catalog.h"

#include <QProcess>
#include <QUrl>
#include <QtTest>

#include <deployment.h>

#include <array>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QDateTime installedTime = QDateTime::fromSecsSinceEpoch(1'600'000'000);
const QDateTime newerTime = installedTime.addSecs(7200);

struct ConfiguredSite
{
    QUrl url;
    QString user;
    QString password;
};

std::array<ConfiguredSite, 3> configuredSites()
{
    return {{{QUrl(QString::fromLatin1(Deployment::site0Url)), QString::fromLatin1(Deployment::site0User),
                 QString::fromLatin1(Deployment::site0Password)},
        {QUrl(QString::fromLatin1(Deployment::site1Url)), QString::fromLatin1(Deployment::site1User),
            QString::fromLatin1(Deployment::site1Password)},
        {QUrl(QString::fromLatin1(Deployment::site2Url)), QString::fromLatin1(Deployment::site2User),
            QString::fromLatin1(Deployment::site2Password)}}};
}

// Whether the build's update sites are local test sites this test can serve.
bool sitesAreLocal(const std::array<ConfiguredSite, 3> &sites)
{
    return std::all_of(sites.cbegin(), sites.cend(), [](const ConfiguredSite &site) {
        return site.url.host() == u"127.0.0.1"_s && site.url.port() > 0 && !site.user.isEmpty();
    });
}

constexpr const char *notLocal
    = "this build's update sites are not local test sites; scripts/test configures them "
      "(-DTAV_SITE0_URL=ftp://127.0.0.1:<port> and a user and password for each site)";

// The whole screen, for a person to look at; nothing depends on it.
void screenshot(const XvfbDisplay &display, const QString &name)
{
    QProcess::execute(u"import"_s,
        {u"-display"_s, display.display(), u"-window"_s, u"root"_s,
            TavInstallation::binDir() + u"/../"_s + name});
}

} // namespace

class TestUpdateRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Catalog::clear();
        Catalog::load(TavInstallation::binDir() + u"/tav.t"_s);
        QVERIFY(Catalog::text("Tav").has_value());
    }

    void updateRestoreAndStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("the default mode") << QStringList{u"UF=10"_s, u"P=host.sh"_s};
        QTest::newRow("F=Up") << QStringList{u"F=Up"_s, u"UF=10"_s, u"P=host.sh"_s};
    }

    void updateRestoreAndStart()
    {
        QFETCH(QStringList, arguments);
        const auto sites = configuredSites();
        if (!sitesAreLocal(sites))
            QSKIP(notLocal);
        XvfbDisplay display;
        if (!display.isValid())
            QSKIP("Xvfb and xdotool are needed to use the window");

        std::array<std::unique_ptr<UpdateSiteServer>, 3> servers;
        startSites(sites, servers);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(servers[0]->putArchive(u"ko10.rar"_s,
                     {{u"readme"_s, "Version 10:\nfaster charts", newerTime},
                         {u"data.dat"_s, "new data", newerTime}, {u"sub/inner.dat"_s, "new inner", newerTime},
                         {u"same.dat"_s, "same", installedTime}}),
            qPrintable(servers[0]->lastError()));

        TavInstallation installation;
        QVERIFY(installation.isValid());
        installation.setEnvironment(display.environment(installation.environment()));
        QVERIFY(QFile::copy(TavInstallation::binDir() + u"/rar"_s, installation.filePath(u"rar"_s)));
        for (const auto &[name, bytes] : {std::pair{u"data.dat"_s, "old data"_ba},
                 {u"sub/inner.dat"_s, "old inner"_ba}, {u"same.dat"_s, "same"_ba}}) {
            QVERIFY(installation.writeFile(name, bytes));
            QFile file(installation.filePath(name));
            QVERIFY(file.open(QIODevice::ReadWrite)
                && file.setFileTime(installedTime, QFileDevice::FileModificationTime));
        }
        // Option slot 0 keeps the site box's choice: automatic (0) replaces this 5.
        QVERIFY(installation.writeSettings("Ov=5 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \n"));
        QVERIFY(installation.writeFile(u"host.sh"_s, "#!/bin/sh\necho started > started.marker\n"));
        QVERIFY(QFile::setPermissions(
            installation.filePath(u"host.sh"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        const QString window = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("main"));
        const QString confirmation
            = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("Naydeno"));
        const QString box = XvfbDisplay::exactTitlePattern(u"*** Warring"_s);
        int step = 0;
        QStringList seen;
        QByteArray installedData;
        const TavRun run = installation.run(arguments, 120000, [&] {
            switch (step) {
            case 0: // the keyboard starts on "New"
                if (!display.isVisible(window))
                    return;
                screenshot(display, u"updater.png"_s);
                display.typeInto(window, {u"key"_s, u"space"_s});
                seen << u"dialog"_s;
                step = 1;
                return;
            case 1: // Return takes the first button, "Obn"
                if (!display.isVisible(confirmation))
                    return;
                screenshot(display, u"updater-confirmation.png"_s);
                seen << u"confirmation"_s;
                display.typeInto(confirmation, {u"key"_s, u"Return"_s});
                step = 2;
                return;
            case 2: // installed
                if (!display.isVisible(box))
                    return;
                seen << u"installed"_s;
                installedData = installation.readFile(u"data.dat"_s);
                display.typeInto(box, {u"key"_s, u"Return"_s});
                step = 3;
                return;
            case 3: // once the log is on the site: "ReBak", next to "New"
                if (display.isVisible(box) || servers[0]->uploadedLog(u"00000.log"_s).isEmpty())
                    return;
                screenshot(display, u"updater-after.png"_s);
                display.typeInto(window, {u"key"_s, u"Tab"_s, u"space"_s});
                step = 4;
                return;
            case 4: // restored; "ReBak" is disabled now, which moves the keyboard on to "InfUp"
                if (!display.isVisible(box))
                    return;
                seen << u"restored"_s;
                display.typeInto(box, {u"key"_s, u"Return"_s});
                step = 5;
                return;
            case 5: // "Vib", "Nel", "Lumida", then "ReMain"
                if (display.isVisible(box) || !display.isVisible(window))
                    return;
                display.typeInto(window, {u"key"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"Tab"_s, u"space"_s});
                step = 6;
                return;
            default:
                return;
            }
        });
        QVERIFY2(run.finished && !run.crashed, run.describe().constData());
        QCOMPARE(seen, (QStringList{u"dialog"_s, u"confirmation"_s, u"installed"_s, u"restored"_s}));
        QCOMPARE(run.exitCode, 0);

        // Installed, then restored from the backup, which is gone again.
        QCOMPARE(installedData, "new data"_ba);
        QCOMPARE(installation.readFile(u"data.dat"_s), "old data"_ba);
        QCOMPARE(installation.readFile(u"sub/inner.dat"_s), "old inner"_ba);
        QVERIFY(!installation.exists(u"predver.rar"_s));

        // The log on the site is the local one as it was before the restore.
        const QByteArray uploaded = servers[0]->uploadedLog(u"00000.log"_s);
        const QByteArray local = installation.readFile(u"00000.log"_s);
        QVERIFY2(!uploaded.isEmpty() && local.startsWith(uploaded) && local.size() > uploaded.size(),
            local.constData());
        QVERIFY2(uploaded.startsWith('#') && uploaded.contains(" New ") && uploaded.contains("data.dat"),
            uploaded.constData());
        QVERIFY(servers[0]->server().commands().contains(u"USER "_s + sites[0].user));
        QVERIFY(servers[1]->server().commands().isEmpty());
        QVERIFY(servers[2]->server().commands().isEmpty());
        QVERIFY2(installation.log().contains("upDoneFile; err=0 att=0\n"), installation.log().constData());

        // The program line ran once the window had closed, and the settings were saved.
        QTRY_VERIFY(installation.exists(u"started.marker"_s));
        QVERIFY2(installation.settings().startsWith("Ov=0 "), installation.settings().constData());
    }

    // tav_testkey, built with the committed test key: a signed update is installed; the same
    // update with one byte changed is refused on the first site and nothing is installed.
    void signedUpdate_data()
    {
        QTest::addColumn<bool>("tampered");
        QTest::newRow("signed") << false;
        QTest::newRow("tampered") << true;
    }

    void signedUpdate()
    {
        QFETCH(bool, tampered);
        const auto sites = configuredSites();
        if (!sitesAreLocal(sites))
            QSKIP(notLocal);
        MinisignTool minisign;
        if (!minisign.isAvailable())
            QSKIP("minisign is needed (scripts/install-deps installs it)");
        XvfbDisplay display;
        if (!display.isValid())
            QSKIP("Xvfb and xdotool are needed to use the window");

        std::array<std::unique_ptr<UpdateSiteServer>, 3> servers;
        startSites(sites, servers);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(servers[0]->putArchive(u"ko10.rar"_s, {{u"data.dat"_s, "signed data", newerTime}}));
        const QString archive = servers[0]->filePath(u"ko10.rar"_s);
        QVERIFY2(minisign.sign(u"test"_s, archive, u"signed update 10"_s), qPrintable(minisign.lastError()));
        if (tampered) {
            QFile file(archive);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2));
            const char byte = file.peek(1).at(0);
            QVERIFY(file.write(QByteArray(1, char(byte ^ 0x01))) == 1);
        }

        TavInstallation installation;
        QVERIFY(installation.isValid());
        installation.setProgram(TavInstallation::binDir() + u"/tav_testkey"_s);
        installation.setEnvironment(display.environment(installation.environment()));
        QVERIFY(QFile::copy(TavInstallation::binDir() + u"/rar"_s, installation.filePath(u"rar"_s)));
        QVERIFY(installation.writeFile(u"data.dat"_s, "old data"));
        QFile installed(installation.filePath(u"data.dat"_s));
        QVERIFY(installed.open(QIODevice::ReadWrite)
            && installed.setFileTime(installedTime, QFileDevice::FileModificationTime));
        installed.close();
        QVERIFY(installation.writeFile(u"host.sh"_s, "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(
            installation.filePath(u"host.sh"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        const QString window = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("main"));
        const QString confirmation
            = XvfbDisplay::exactTitlePattern(u"***"_s + Catalog::displayText("Naydeno"));
        const QString box = XvfbDisplay::exactTitlePattern(u"*** Warring"_s);
        int step = 0;
        QStringList seen;
        const TavRun run = installation.run({u"UF=10"_s, u"P=host.sh"_s}, 120000, [&] {
            if (step == 0 && display.isVisible(window)) {
                display.typeInto(window, {u"key"_s, u"space"_s});
                step = 1;
            } else if (step == 1 && display.isVisible(confirmation)) {
                seen << u"confirmation"_s;
                display.typeInto(confirmation, {u"key"_s, u"Return"_s});
            } else if (step == 1 && display.isVisible(box)) {
                // "IsNew" after the installation, "NoInf" after the refusals
                screenshot(display, tampered ? u"updater-tampered.png"_s : u"updater-signed.png"_s);
                seen << u"box"_s;
                display.typeInto(box, {u"key"_s, u"Return"_s});
                step = 2;
            } else if (step == 2 && !display.isVisible(box) && display.isVisible(window)
                && (tampered || !servers[0]->uploadedLog(u"00000.log"_s).isEmpty())) {
                display.typeInto(window, {u"key"_s, u"Escape"_s});
                step = 3;
            }
        });
        QVERIFY2(run.finished && !run.crashed, run.describe().constData());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(seen, tampered ? QStringList{u"box"_s} : (QStringList{u"confirmation"_s, u"box"_s}));
        QVERIFY(servers[0]->server().commands().contains(u"RETR ko10.rar.minisig"_s));

        const QByteArray log = installation.readFile(u"00000.log"_s);
        const QByteArray refusal = Catalog::text("SigBad").value_or(QByteArray());
        const QByteArray verified = Catalog::text("SigOk").value_or(QByteArray()) + " signed update 10";
        QVERIFY2(log.contains(tampered ? refusal : verified), log.constData());
        QCOMPARE(installation.readFile(u"data.dat"_s), tampered ? "old data"_ba : "signed data"_ba);
        // A refused archive is removed; an installed one stays until the next update.
        QCOMPARE(installation.exists(u"UP00/ko10.rar"_s), !tampered);
        QCOMPARE(installation.exists(u"UP00/data.dat"_s), false);
        QCOMPARE(installation.exists(u"predver.rar"_s), !tampered);
    }

private:
    // The three sites the build names, served on their fixed ports.
    void startSites(
        const std::array<ConfiguredSite, 3> &sites, std::array<std::unique_ptr<UpdateSiteServer>, 3> &servers)
    {
        for (size_t i = 0; i < servers.size(); ++i) {
            servers[i] = std::make_unique<UpdateSiteServer>(
                sites[i].user, sites[i].password, quint16(sites[i].url.port()));
            START_FTP_SERVER(*servers[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdateRun)
#include "tst_updaterun.moc"
