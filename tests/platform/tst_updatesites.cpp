#include "common/ftptestserver.h"
#include "platform/ftp/ftpclient.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestUpdateSites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void siteTable();
    void siteListEntry_data();
    void siteListEntry();
    void siteListFromCatalog();
    void connectSiteOutsideTable_data();
    void connectSiteOutsideTable();
    void connectSiteReachesServer();
    void stateReport_data();
    void stateReport();
    void checkFtpUrl_data();
    void checkFtpUrl();

private:
    QTemporaryDir m_workDir; // the warnings' log goes here
    QString m_previousDirectory;
};

void TestUpdateSites::initTestCase()
{
    Diagnostics::setRecording(true);
    m_previousDirectory = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workDir.path()));
}

void TestUpdateSites::cleanupTestCase()
{
    Catalog::clear();
    QDir::setCurrent(m_previousDirectory);
}

void TestUpdateSites::siteTable()
{
    const auto &sites = UpdateSites::updateSites();
    QCOMPARE(int(sites.size()), 3);
    for (const auto &site : sites) {
        QCOMPARE(site.defaultPort, 21);
        QVERIFY2(site.url.startsWith("ftp://"), site.url.constData());
    }
}

void TestUpdateSites::siteListEntry_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("site");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("site 1") << QByteArray("1Reserve server") << 1 << QByteArray("Reserve server");
    QTest::newRow("no number") << QByteArray("Main") << 0 << QByteArray("ain");
    QTest::newRow("two digits") << QByteArray("12far") << 12 << QByteArray("2far");
    QTest::newRow("single character") << QByteArray("2") << 2 << QByteArray();
}

void TestUpdateSites::siteListEntry()
{
    QFETCH(QByteArray, entry);
    QFETCH(int, site);
    QFETCH(QByteArray, name);
    const auto parsed = UpdateSites::parseSiteListEntry(entry);
    QCOMPARE(parsed.siteNumber, site);
    QCOMPARE(parsed.displayName, name);
}

void TestUpdateSites::siteListFromCatalog()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QFile catalog(QStringLiteral("sites.t"));
    QVERIFY(catalog.open(QIODevice::WriteOnly));
    catalog.write("Saits 1Reserve/0Main//2Third  \n");
    catalog.close();
    Catalog::clear();
    Catalog::load(QStringLiteral("sites.t"));

    const auto list = UpdateSites::siteList();
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).siteNumber, 1);
    QCOMPARE(list.at(0).displayName, QByteArray("Reserve"));
    QCOMPARE(list.at(1).siteNumber, 0);
    QCOMPARE(list.at(2).siteNumber, 2);
    QCOMPARE(list.at(2).displayName, QByteArray("Third"));
    Catalog::clear();
    QDir::setCurrent(m_previousDirectory);
}

void TestUpdateSites::connectSiteOutsideTable_data()
{
    QTest::addColumn<int>("site");
    QTest::newRow("3") << 3;
    QTest::newRow("-1") << -1;
    QTest::newRow("large") << 1000000;
}

void TestUpdateSites::connectSiteOutsideTable()
{
    QFETCH(int, site);
    FtpClient ftp;
    QVERIFY(!UpdateSites::connectSite(ftp, site));
    QVERIFY(!ftp.hasPendingCommands());
    QVERIFY(!ftp.isBusy());
}

void TestUpdateSites::connectSiteReachesServer()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("UPDATE")));
    FtpTestServer server;
    server.addUser(QStringLiteral("koraupd"), QStringLiteral("Pw,1;x"), root.path());
    START_FTP_SERVER(server);
    UpdateSites::Site site;
    site.url = server.url().toLatin1();
    site.user = "koraupd";
    site.password = "Pw,1;x";
    UpdateSites::setUpdateSite(2, site);

    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    QVERIFY(UpdateSites::connectSite(ftp, 2));
    ftp.cd(QStringLiteral("/UPDATE"));
    ftp.close();
    QVERIFY(done.wait(30000));
    QVERIFY2(!done.at(0).at(0).toBool(), qPrintable(ftp.errorString()));
    const QStringList commands = server.commands();
    QVERIFY2(commands.contains(QStringLiteral("USER koraupd")), qPrintable(commands.join(u'|')));
    QVERIFY(commands.contains(QStringLiteral("CWD /UPDATE")));
}

void TestUpdateSites::stateReport_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("0") << 0 << QByteArray("state=0:Unconnected");
    QTest::newRow("4") << int(FtpClient::LoggedIn) << QByteArray("state=4:LoggedIn");
    QTest::newRow("5") << int(FtpClient::Closing) << QByteArray("state=5:Closing");
    QTest::newRow("6 has no name") << 6 << QByteArray("state=6:");
    QTest::newRow("negative") << -1 << QByteArray("state=-1:");
}

void TestUpdateSites::stateReport()
{
    QFETCH(int, state);
    QFETCH(QByteArray, report);
    QCOMPARE(UpdateSites::stateReport(state), report);
}

void TestUpdateSites::checkFtpUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("message"); // empty: passes

    QTest::newRow("directory") << QStringLiteral("ftp://ephemeris.kora.invalid/pub/swisseph/ephe/")
                               << QString();
    QTest::newRow("single slash") << QStringLiteral("ftp://host.invalid/") << QString();
    QTest::newRow("web scheme") << QStringLiteral("http://host.invalid/pub/")
                                << QStringLiteral("Error: URL must start with 'ftp:'");
    QTest::newRow("upper-case scheme")
        << QStringLiteral("FTP://host.invalid/pub") << QStringLiteral("Error: URL must start with 'ftp:'");
    QTest::newRow("mixed-case scheme")
        << QStringLiteral("Ftp://host.invalid/x") << QStringLiteral("Error: URL must start with 'ftp:'");
    QTest::newRow("longer scheme") << QStringLiteral("ftps://host.invalid/x")
                                   << QStringLiteral("Error: URL must start with 'ftp:'");
    QTest::newRow("host only") << QStringLiteral("ftp://host.invalid")
                               << QStringLiteral("Error: URL has no path");
    QTest::newRow("bad port") << QStringLiteral("ftp://host.invalid:port/x")
                              << QStringLiteral("Error: Invalid URL");
}

void TestUpdateSites::checkFtpUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, message);
    Diagnostics::clearRecordedBoxes();
    QCOMPARE(UpdateSites::checkFtpUrl(url), message.isEmpty());
    const auto boxes = Diagnostics::recordedBoxes();
    if (message.isEmpty()) {
        QVERIFY(boxes.isEmpty());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).text, message);
    }
}

QTEST_MAIN(TestUpdateSites)
#include "tst_updatesites.moc"
