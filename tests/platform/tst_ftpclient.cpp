#include "common/ftptestserver.h"
#include "common/sizedfilesystem.h"
#include "platform/ftp/ftpclient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    auto *generator = QRandomGenerator::global();
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator->bounded(256));
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The child of serverLifetime(): a test process that holds a server until it is killed.
int serveUntilKilled(const QString &home, quint16 port)
{
    FtpTestServer server;
    server.allowAnonymous(home);
    server.setPort(port);
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.lastError()));
        return 1;
    }
    std::fputs("serving\n", stdout);
    std::fflush(stdout);
    QThread::sleep(300);
    return 0;
}

} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void downloadWithUser();
    void anonymousRelativeDirectory();
    void uploadFromDeviceAndBytes();
    void failures_data();
    void failures();
    void commandsNeedConnection();
    void nextBatchFromDoneHandler();
    void silentServer_data();
    void silentServer();
    void resume_data();
    void resume();
    void serverLifetime_data();
    void serverLifetime();

private:
    // Waits for the batch's done(); fails the test when it does not come or comes twice.
    bool waitDone(FtpClient &ftp, QSignalSpy &spy);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QByteArray m_archive;
};

void TestFtpClient::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->filePath(QStringLiteral("server"));
    m_archive = randomBytes(700 * 1024 + 17);
    QVERIFY(writeFile(m_root + QStringLiteral("/UPDATE/ko1.rar"), m_archive));
    QVERIFY(QDir().mkpath(m_root + QStringLiteral("/UPDATE/LOGS")));
}

bool TestFtpClient::waitDone(FtpClient &ftp, QSignalSpy &spy)
{
    if (!spy.wait(30000))
        return false;
    // Give a second report a chance to arrive.
    QTest::qWait(50);
    return spy.count() == 1 && !ftp.isBusy();
}

void TestFtpClient::downloadWithUser()
{
    FtpTestServer server;
    server.addUser(QStringLiteral("kora"), QStringLiteral("s3cret!x"), m_root);
    START_FTP_SERVER(server);

    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    QSignalSpy states(&ftp, &FtpClient::stateChanged);
    QSignalSpy progress(&ftp, &FtpClient::dataTransferProgress);
    QFile target(m_dir->filePath(QStringLiteral("ko1.rar")));
    QVERIFY(target.open(QIODevice::WriteOnly));

    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("s3cret!x"));
    ftp.cd(QStringLiteral("/UPDATE"));
    ftp.get(QStringLiteral("ko1.rar"), &target);
    ftp.close();
    QVERIFY(ftp.isBusy());
    QVERIFY(waitDone(ftp, done));
    target.close();

    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(ftp.error(), FtpClient::NoError);
    QCOMPARE(ftp.state(), FtpClient::Unconnected);
    QCOMPARE(readFile(target.fileName()), m_archive);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(m_archive.size()));

    QList<int> seen;
    for (const auto &signal : states)
        seen << signal.at(0).toInt();
    const QList<int> expected{FtpClient::HostLookup, FtpClient::Connecting, FtpClient::Connected,
        FtpClient::LoggedIn, FtpClient::Closing, FtpClient::Unconnected};
    QCOMPARE(seen, expected);

    const QStringList commands = server.commands();
    QVERIFY2(commands.contains(QStringLiteral("USER kora")), qPrintable(commands.join(u'|')));
    QVERIFY(commands.contains(QStringLiteral("CWD /UPDATE")));
    QVERIFY(commands.contains(QStringLiteral("TYPE I")));
    QVERIFY(commands.contains(QStringLiteral("PASV")));
    QVERIFY(commands.filter(QStringLiteral("EPSV")).isEmpty());
    QVERIFY(commands.filter(QStringLiteral("PORT")).isEmpty());
    QCOMPARE(commands.filter(QStringLiteral("RETR")), QStringList{QStringLiteral("RETR ko1.rar")});
    QCOMPARE(commands.last(), QStringLiteral("QUIT"));
}

void TestFtpClient::anonymousRelativeDirectory()
{
    const QByteArray ephemeris = randomBytes(4096);
    QVERIFY(writeFile(m_root + QStringLiteral("/pub/swisseph/ephe/ast1/se01234s.se1"), ephemeris));
    FtpTestServer server;
    server.allowAnonymous(m_root);
    START_FTP_SERVER(server);

    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login();
    ftp.cd(QStringLiteral("pub/swisseph/ephe/ast1"));
    ftp.get(QStringLiteral("se01234s.se1"));
    ftp.close();
    QVERIFY(waitDone(ftp, done));

    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(ftp.readAll(), ephemeris);
    const QStringList commands = server.commands();
    QVERIFY2(commands.contains(QStringLiteral("USER anonymous")), qPrintable(commands.join(u'|')));
    QVERIFY(commands.contains(QStringLiteral("CWD pub/swisseph/ephe/ast1")));
    QVERIFY(commands.contains(QStringLiteral("RETR se01234s.se1")));
}

void TestFtpClient::uploadFromDeviceAndBytes()
{
    FtpTestServer server;
    server.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root, QStringLiteral("elradfmw"));
    START_FTP_SERVER(server);

    const QByteArray log = "12.03.2026 10:00:00 ko1.rar\r\nkora10.exe\r\n";
    QFile source(m_dir->filePath(QStringLiteral("big.bin")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    QCOMPARE(source.write(m_archive), qint64(m_archive.size()));
    source.close();
    QVERIFY(source.open(QIODevice::ReadOnly));

    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    QSignalSpy progress(&ftp, &FtpClient::dataTransferProgress);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
    ftp.cd(QStringLiteral("/UPDATE/LOGS"));
    ftp.put(log, QStringLiteral("00042.log"));
    ftp.put(&source, QStringLiteral("big.bin"));
    ftp.close();
    QVERIFY(waitDone(ftp, done));

    QCOMPARE(done.at(0).at(0).toBool(), false);
    QCOMPARE(readFile(m_root + QStringLiteral("/UPDATE/LOGS/00042.log")), log);
    QCOMPARE(readFile(m_root + QStringLiteral("/UPDATE/LOGS/big.bin")), m_archive);
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(m_archive.size()));
    QCOMPARE(progress.last().at(1).toLongLong(), qint64(m_archive.size()));
    QCOMPARE(server.commands().filter(QStringLiteral("STOR")),
        (QStringList{QStringLiteral("STOR 00042.log"), QStringLiteral("STOR big.bin")}));
}

void TestFtpClient::failures_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("upload");
    QTest::addColumn<qint64>("dropAfter");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("textHas");
    QTest::addColumn<bool>("fullDisk"); // the download goes onto a disk too small for it

    const QString local = QStringLiteral("127.0.0.1");
    const QString good = QStringLiteral("pw");
    const QString update = QStringLiteral("/UPDATE");
    const QString archive = QStringLiteral("ko1.rar");
    QTest::newRow("host not found") << QStringLiteral("update1.kora.invalid") << true << good << update
                                    << archive << false << qint64(-1) << int(FtpClient::HostNotFound)
                                    << QStringList{QStringLiteral("update1.kora.invalid"),
                                           QStringLiteral("not found")}
                                    << false;
    QTest::newRow("connection refused")
        << local << false << good << update << archive << false << qint64(-1)
        << int(FtpClient::ConnectionRefused) << QStringList{QStringLiteral("refused"), local} << false;
    QTest::newRow("login refused") << local << true << QStringLiteral("wrong") << update << archive << false
                                   << qint64(-1) << int(FtpClient::UnknownError)
                                   << QStringList{QStringLiteral("Login failed"), QStringLiteral("530")}
                                   << false;
    QTest::newRow("missing directory")
        << local << true << good << QStringLiteral("/NOWHERE") << archive << false << qint64(-1)
        << int(FtpClient::UnknownError)
        << QStringList{QStringLiteral("Changing directory failed"), QStringLiteral("550")} << false;
    QTest::newRow("missing file") << local << true << good << update << QStringLiteral("ko9.rar") << false
                                  << qint64(-1) << int(FtpClient::UnknownError)
                                  << QStringList{QStringLiteral("Downloading file failed"),
                                         QStringLiteral("550")}
                                  << false;
    QTest::newRow("download cut halfway")
        << local << true << good << update << archive << false << qint64(350 * 1024)
        << int(FtpClient::UnknownError)
        << QStringList{QStringLiteral("Downloading file failed"), QStringLiteral("closed")} << false;
    QTest::newRow("upload cut halfway")
        << local << true << good << QStringLiteral("/UPDATE/LOGS") << QStringLiteral("up.bin") << true
        << qint64(350 * 1024)
        << int(FtpClient::UnknownError)
        // The cut reaches the client either as the server's reply or as the reset of the data
        // connection it is still sending on, depending on who is first.
        << QStringList{QStringLiteral("Uploading file failed"), QStringLiteral("426|Send failure")} << false;
    // The disk takes part of a chunk and refuses the rest: the client says why, and that the
    // fault is this side's.
    QTest::newRow("download onto a full disk")
        << local << true << good << update << archive << false << qint64(-1) << int(FtpClient::UnknownError)
        << QStringList{QStringLiteral("Downloading file failed"), SizedFileSystem::fullText()} << true;
}

void TestFtpClient::failures()
{
    QFETCH(QString, host);
    QFETCH(bool, serverUp);
    QFETCH(QString, password);
    QFETCH(QString, directory);
    QFETCH(QString, file);
    QFETCH(bool, upload);
    QFETCH(qint64, dropAfter);
    QFETCH(int, error);
    QFETCH(QStringList, textHas);
    QFETCH(bool, fullDisk);

    SizedFileSystem disk;
    if (fullDisk)
        SKIP_UNLESS_MOUNTED(disk, m_dir->filePath(QStringLiteral("disk")), 100 * 1024);
    FtpTestServer server;
    server.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root, QStringLiteral("elradfmw"));
    server.setDropAfter(dropAfter);
    START_FTP_SERVER(server);
    const quint16 port = server.port();
    if (!serverUp)
        server.stop(); // nothing listens on the port any more

    const QString localPath
        = m_dir->filePath(fullDisk ? QStringLiteral("disk/download") : QStringLiteral("download"));
    QFile target(localPath);
    QVERIFY(target.open(QIODevice::WriteOnly));

    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    ftp.connectToHost(host, port);
    ftp.login(QStringLiteral("kora"), password);
    ftp.cd(directory);
    if (upload)
        ftp.put(m_archive, file);
    else
        ftp.get(file, &target);
    ftp.close();
    QVERIFY(waitDone(ftp, done));
    target.close();

    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(int(ftp.error()), error);
    // A part "a|b" is met by either text.
    for (const QString &part : textHas) {
        const QStringList alternatives = part.split(u'|');
        QVERIFY2(std::any_of(alternatives.begin(), alternatives.end(),
                     [&](const QString &text) { return ftp.errorString().contains(text); }),
            qPrintable(ftp.errorString()));
    }
    QCOMPARE(ftp.isLocalFault(), fullDisk);
    if (fullDisk)
        QVERIFY2(ftp.localErrorString().startsWith(SizedFileSystem::fullText()),
            qPrintable(ftp.localErrorString()));
    QCOMPARE(ftp.state(), FtpClient::Unconnected);
    QVERIFY(!ftp.hasPendingCommands());
    // Whatever arrived is less than the whole.
    QVERIFY(QFileInfo(localPath).size() < m_archive.size());
    if (upload)
        QVERIFY(QFileInfo(m_root + u'/' + directory + u'/' + file).size() < m_archive.size());
}

void TestFtpClient::commandsNeedConnection()
{
    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    QSignalSpy finished(&ftp, &FtpClient::commandFinished);
    const int cd = ftp.cd(QStringLiteral("/UPDATE"));
    ftp.get(QStringLiteral("ko1.rar"));
    ftp.close();
    QVERIFY(waitDone(ftp, done));
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(ftp.error(), FtpClient::NotConnected);
    // The failed cd ends the batch: the get and the close never run.
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), cd);
}

void TestFtpClient::nextBatchFromDoneHandler()
{
    FtpTestServer server;
    server.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root);
    START_FTP_SERVER(server);

    // The first batch fails on the server; its done() handler queues a second one on the same
    // object, as a retry on another site does.
    FtpClient ftp;
    QList<bool> reports;
    QByteArray received;
    connect(&ftp, &FtpClient::done, this, [&](bool failed) {
        reports << failed;
        if (reports.size() == 1) {
            ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
            ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
            ftp.cd(QStringLiteral("/UPDATE"));
            ftp.get(QStringLiteral("ko1.rar"));
            ftp.close();
        }
    });
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
    ftp.cd(QStringLiteral("/MISSING"));
    ftp.get(QStringLiteral("ko1.rar"));
    ftp.close();
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 2, 30000);
    QCOMPARE(reports, (QList<bool>{true, false}));
    QCOMPARE(ftp.error(), FtpClient::NoError);
    QCOMPARE(ftp.readAll(), m_archive);
}

void TestFtpClient::silentServer_data()
{
    QTest::addColumn<qint64>("stallAfter"); // bytes of each data connection; -1: never
    QTest::addColumn<bool>("stallAfterLogin");
    QTest::addColumn<qint64>("rate"); // bytes a second; 0: no limit
    QTest::addColumn<bool>("upload");
    QTest::addColumn<QString>("failed"); // empty: the batch succeeds

    QTest::newRow("download goes silent")
        << qint64(200 * 1024) << false << qint64(0) << false << QStringLiteral("Downloading file");
    QTest::newRow("upload goes silent")
        << qint64(200 * 1024) << false << qint64(0) << true << QStringLiteral("Uploading file");
    QTest::newRow("no reply after login")
        << qint64(-1) << true << qint64(0) << false << QStringLiteral("Connecting to host");
    // Slow is not dead: the limit is on silence, not on the length of a transfer.
    QTest::newRow("slow download outlasts the limit")
        << qint64(-1) << false << qint64(96 * 1024) << false << QString();
}

void TestFtpClient::silentServer()
{
    QFETCH(qint64, stallAfter);
    QFETCH(bool, stallAfterLogin);
    QFETCH(qint64, rate);
    QFETCH(bool, upload);
    QFETCH(QString, failed);

    FtpTestServer first;
    first.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root, QStringLiteral("elradfmw"));
    first.setStallAfter(stallAfter);
    first.setStallAfterLogin(stallAfterLogin);
    first.setRateLimit(rate);
    START_FTP_SERVER(first);
    FtpTestServer second;
    second.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root);
    START_FTP_SERVER(second);

    const QString localPath = m_dir->filePath(QStringLiteral("download"));
    QFile target(localPath);
    QVERIFY(target.open(QIODevice::WriteOnly));
    FtpClient ftp;
    ftp.setTransferTimeout(std::chrono::seconds(2));
    QSignalSpy done(&ftp, &FtpClient::done);
    QElapsedTimer clock;
    clock.start();
    ftp.connectToHost(QStringLiteral("127.0.0.1"), first.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
    ftp.cd(upload ? QStringLiteral("/UPDATE/LOGS") : QStringLiteral("/UPDATE"));
    if (upload)
        ftp.put(m_archive, QStringLiteral("up.bin"));
    else
        ftp.get(QStringLiteral("ko1.rar"), &target);
    ftp.close();
    QVERIFY(waitDone(ftp, done));
    const qint64 elapsed = clock.elapsed();
    target.close();

    if (failed.isEmpty()) {
        QVERIFY2(!done.at(0).at(0).toBool(), qPrintable(ftp.errorString()));
        QCOMPARE(readFile(localPath), m_archive);
        QVERIFY2(elapsed > 3000, qPrintable(QString::number(elapsed)));
        return;
    }
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(ftp.error(), FtpClient::UnknownError);
    QCOMPARE(
        ftp.errorString(), failed + QStringLiteral(" failed:\nNo response from the server for 2 seconds"));
    // libcurl measures the speed over the last few seconds, so a transfer that stops short is
    // given up a little after the limit, still far from the 60 seconds of the default.
    QVERIFY2(elapsed >= 2000 && elapsed < 20000, qPrintable(QString::number(elapsed)));
    QCOMPARE(ftp.state(), FtpClient::Unconnected);
    QVERIFY(QFileInfo(localPath).size() < m_archive.size());

    // As in automatic mode, the next batch on the same client goes to another server.
    done.clear();
    ftp.connectToHost(QStringLiteral("127.0.0.1"), second.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
    ftp.cd(QStringLiteral("/UPDATE"));
    ftp.get(QStringLiteral("ko1.rar"));
    ftp.close();
    QVERIFY(waitDone(ftp, done));
    QVERIFY2(!done.at(0).at(0).toBool(), qPrintable(ftp.errorString()));
    QCOMPARE(ftp.readAll(), m_archive);
}

void TestFtpClient::resume_data()
{
    QTest::addColumn<int>("change"); // of the file on the server after the cut: 0 none, 1 size, 2 time
    QTest::addColumn<bool>("refuseRest");
    QTest::addColumn<bool>("stampKept"); // false: the second attempt knows no stamp
    QTest::addColumn<bool>("resumed");

    QTest::newRow("same file: continued") << 0 << false << true << true;
    QTest::newRow("other size: from the start") << 1 << false << true << false;
    QTest::newRow("other time: from the start") << 2 << false << true << false;
    QTest::newRow("no stamp recorded: from the start") << 0 << false << false << false;
    QTest::newRow("REST refused: the whole file") << 0 << true << true << false;
}

void TestFtpClient::resume()
{
    QFETCH(int, change);
    QFETCH(bool, refuseRest);
    QFETCH(bool, stampKept);
    QFETCH(bool, resumed);

    const QString archive = m_root + QStringLiteral("/UPDATE/ko1.rar");
    QFile part(m_dir->filePath(QStringLiteral("ko1.rar.part")));
    QVERIFY(part.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
    const qint64 cut = 300 * 1024;
    FtpClient::RemoteStamp stamp;
    {
        FtpTestServer cutting;
        cutting.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root);
        cutting.setDropAfter(cut);
        START_FTP_SERVER(cutting);
        FtpClient ftp;
        QSignalSpy done(&ftp, &FtpClient::done);
        QSignalSpy stamps(&ftp, &FtpClient::remoteStamp);
        ftp.connectToHost(QStringLiteral("127.0.0.1"), cutting.port());
        ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
        ftp.cd(QStringLiteral("/UPDATE"));
        ftp.getResuming(QStringLiteral("ko1.rar"), &part, {});
        ftp.close();
        QVERIFY(waitDone(ftp, done));
        QCOMPARE(done.at(0).at(0).toBool(), true);
        QCOMPARE(stamps.size(), 1);
        stamp = stamps.at(0).at(0).value<FtpClient::RemoteStamp>();
        QCOMPARE(stamp.size, qint64(m_archive.size()));
        QCOMPARE(stamp.modified, QFileInfo(archive).lastModified().toSecsSinceEpoch());
        QVERIFY2(part.size() > 0 && part.size() <= cut, qPrintable(QString::number(part.size())));
    }
    const qint64 held = part.size();
    QByteArray expected = m_archive;
    if (change == 1) {
        expected = randomBytes(m_archive.size() + 1000);
        QVERIFY(writeFile(archive, expected));
        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(
                QDateTime::fromSecsSinceEpoch(stamp.modified), QFileDevice::FileModificationTime));
    } else if (change == 2) {
        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(
                QDateTime::fromSecsSinceEpoch(stamp.modified - 86400), QFileDevice::FileModificationTime));
    }

    FtpTestServer server;
    server.addUser(QStringLiteral("kora"), QStringLiteral("pw"), m_root);
    server.setRefuseRest(refuseRest);
    START_FTP_SERVER(server);
    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    QSignalSpy progress(&ftp, &FtpClient::dataTransferProgress);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("kora"), QStringLiteral("pw"));
    ftp.cd(QStringLiteral("/UPDATE"));
    ftp.getResuming(QStringLiteral("ko1.rar"), &part, stampKept ? stamp : FtpClient::RemoteStamp{});
    ftp.close();
    QVERIFY(waitDone(ftp, done));
    QVERIFY2(!done.at(0).at(0).toBool(), qPrintable(ftp.errorString()));
    part.close();
    QCOMPARE(readFile(part.fileName()), expected);
    // Progress counts the whole file, what was there before included.
    QCOMPARE(progress.last().at(0).toLongLong(), qint64(expected.size()));

    const QStringList commands = server.commands();
    QVERIFY2(commands.contains(QStringLiteral("MDTM ko1.rar")), qPrintable(commands.join(u'|')));
    // A refused REST is asked for, then the file is fetched whole with one RETR.
    QCOMPARE(commands.contains(QStringLiteral("REST %1").arg(held)), resumed || refuseRest);
    QCOMPARE(commands.filter(QStringLiteral("RETR")).size(), 1);
}

void TestFtpClient::serverLifetime_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("stopped by its test") << false;
    QTest::newRow("its test process killed") << true;
}

// The tests' servers hold their port until the test stops them or the test process ends, however
// it ends (under Wine too, where the test cannot end them itself); then the port is free again,
// which the fixed ports of the update sites need.
void TestFtpClient::serverLifetime()
{
    QFETCH(bool, killed);
    quint16 port = 0;
    {
        FtpTestServer probe;
        probe.allowAnonymous(m_root);
        START_FTP_SERVER(probe);
        port = probe.port();
    }
    FtpTestServer first;
    QProcess holder;
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (killed) {
        holder.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--serve"), m_root, QString::number(port)});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readLine().trimmed(), "serving");
    } else {
        first.allowAnonymous(m_root);
        first.setPort(port);
        START_FTP_SERVER(first);
    }
    FtpTestServer second;
    second.allowAnonymous(m_root);
    second.setPort(port);
    QVERIFY(!second.start());
    QVERIFY2(second.lastError().startsWith(QStringLiteral("the FTP server cannot serve: ")),
        qPrintable(second.lastError()));

    if (killed) {
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
    } else {
        first.stop();
    }
    // The orphaned server notices within moments; a stopped one has gone already.
    const QDeadlineTimer deadline(killed ? 10000 : 0);
    bool started = second.start();
    while (!started && !deadline.hasExpired()) {
        QTest::qWait(200);
        started = second.start();
    }
    QVERIFY2(started, qPrintable(second.lastError()));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--serve") == 0)
        return serveUntilKilled(QString::fromLocal8Bit(argv[2]), quint16(QByteArray(argv[3]).toUInt()));
    TestFtpClient test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_ftpclient.moc"
