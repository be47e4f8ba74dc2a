// The update log: its name, its lines as they land in the file, the history view and the upload
// to a local FTP server.

#include "common/ftptestserver.h"
#include "common/limitedrun.h"
#include "common/recordingupdateview.h"
#include "modes/update/updatelog.h"
#include "platform/ftp/ftpclient.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "shell/settings.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestUpdateLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fileName_data();
    void fileName();
    void linesAsWritten();
    void numberLine_data();
    void numberLine();
    void fullDiskTakesTheLineBack();
    void showHistory_data();
    void showHistory();
    void uploadArrivesInLogs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

namespace {

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestUpdateLog::initTestCase()
{
    // Without a catalog every key stands for itself.
    Catalog::clear();
}

void TestUpdateLog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    Settings::reset();
}

void TestUpdateLog::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestUpdateLog::fileName_data()
{
    QTest::addColumn<QByteArray>("ini"); // null: no kora.ini
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("no kora.ini") << QByteArray() << "00000.log"_ba;
    QTest::newRow("no number in it") << "Lang=ru\nNINSTX=5\n"_ba
                                     << "00000.log"_ba;
    QTest::newRow("number among other lines") << "Lang=ru\nNINST=42\nBASA=x\n"_ba
                                              << "00042.log"_ba;
    QTest::newRow("blanks and CR LF") << "  NINST = 7\r\n"_ba
                                      << "00007.log"_ba;
    QTest::newRow("more than five digits") << "NINST=1234567\n"_ba
                                           << "1234567.log"_ba;
    QTest::newRow("first line counts") << "NINST=3\nNINST=4\n"_ba
                                       << "00003.log"_ba;
    QTest::newRow("not a number") << "NINST=abc\n"_ba
                                  << "00000.log"_ba;
    QTest::newRow("negative") << "NINST=-12\n"_ba
                              << "00000.log"_ba;
}

void TestUpdateLog::fileName()
{
    QFETCH(QByteArray, ini);
    QFETCH(QByteArray, name);
    if (!ini.isNull())
        QVERIFY(writeFile(u"kora.ini"_s, ini));
    QCOMPARE(UpdateLog::fileNameFor(UpdateLog::installationNumber()), name);
}

// Appended line by line, LF only, 8-bit text kept byte for byte, date lines of present and
// missing files; a log that cannot be opened loses its lines quietly.
void TestUpdateLog::linesAsWritten()
{
    QVERIFY(writeFile(u"00001.log"_s, "#earlier run\n"));
    QVERIFY(writeFile(u"tav"_s, "program"));
    QFile program(u"tav"_s);
    QVERIFY(program.open(QIODevice::ReadWrite));
    QVERIFY(program.setFileTime(
        QDateTime(QDate(2023, 6, 5), QTime(17, 8, 9)), QFileDevice::FileModificationTime));
    program.close();

    UpdateLog log("00001.log");
    log.write("#%s %s", "05.06.2023 17:08:09", "\xcd\xee\xe2\xee\xe5"); // "New" in Russian, code page 1251
    log.writeDateLine("-", "tav");
    log.writeDateLine("-", "kora10.exe -x");
    log.writeNumberLine("Per%d", 2);
    QCOMPARE(readFile(u"00001.log"_s),
        "#earlier run\n#05.06.2023 17:08:09 \xcd\xee\xe2\xee\xe5\n- tav - 05.06.2023 17:08:09\n"
        "- kora10.exe -x - No\nPer2\n"_ba);
    QCOMPARE(UpdateLog::timeStamp(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5))), "02.01.2024 03:04:05"_ba);

    QVERIFY(QDir().mkdir(u"00002.log"_s));
    UpdateLog blocked("00002.log");
    blocked.write("#lost");
    QVERIFY(QFileInfo(u"00002.log"_s).isDir());
}

void TestUpdateLog::numberLine_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("key standing for itself") << "Per%d"_ba
                                             << "Per7"_ba;
    QTest::newRow("text with the number") << "Files installed: %d"_ba
                                          << "Files installed: 7"_ba;
    QTest::newRow("percent sign and a stray conversion") << "%s: %d%%"_ba
                                                         << "%s: 7%"_ba;
    QTest::newRow("second number left alone") << "%d of %d"_ba
                                              << "7 of %d"_ba;
    QTest::newRow("no number") << "Done"_ba
                               << "Done"_ba;
    QTest::newRow("percent at the end") << "100%"_ba
                                        << "100%"_ba;
}

void TestUpdateLog::numberLine()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, line);
    UpdateLog log("00000.log");
    log.writeNumberLine(format, 7);
    QCOMPARE(readFile(u"00000.log"_s), line + '\n');
}

// A line that does not fit on the disk is not left half written: the next line starts cleanly.
void TestUpdateLog::fullDiskTakesTheLineBack()
{
    QVERIFY(writeFile(u"00000.log"_s, "#first\n"));
    // 13 bytes fit into the file: "#first\n#next\n", not the long line.
    const std::optional<bool> asExpected = LimitedRun::run(
        [] {
            UpdateLog log("00000.log");
            log.write("#a line far longer than what still fits");
            // The loss is told once, with the file and the system's reason.
            const bool toldOnce
                = log.takeFailure() == u"00000.log: File too large"_s && log.takeFailure().isEmpty();
            log.write("#next");
            return toldOnce && log.takeFailure().isEmpty();
        },
        {.sizeLimit = 13});
    if (!asExpected)
        QSKIP(LimitedRun::unsupported);
    QVERIFY(*asExpected);
    QCOMPARE(readFile(u"00000.log"_s), "#first\n#next\n"_ba);
}

void TestUpdateLog::showHistory_data()
{
    QTest::addColumn<QByteArray>("contents"); // null: no log
    QTest::addColumn<int>("option1");
    QTest::addColumn<QList<QByteArray>>("shown");

    const QByteArray log
        = "#01.02.2024 10:00:00 New\r\n- tav - No\n#Otkaz\n\nPere a.dat - 01.02.2024 09:00:00"_ba;
    QTest::newRow("headers only") << log << 0
                                  << QList<QByteArray>{
                                         "blue: InfUp", "black: #01.02.2024 10:00:00 New", "black: #Otkaz"};
    QTest::newRow("every line with option 1")
        << log << 1
        << QList<QByteArray>{"blue: InfUp", "black: #01.02.2024 10:00:00 New", "black: - tav - No",
               "black: #Otkaz", "black: ", "black: Pere a.dat - 01.02.2024 09:00:00"};
    QTest::newRow("no log yet") << QByteArray() << 1 << QList<QByteArray>{"blue: InfUp"};
}

void TestUpdateLog::showHistory()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, option1);
    QFETCH(QList<QByteArray>, shown);
    if (!contents.isNull())
        QVERIFY(writeFile(u"00000.log"_s, contents));
    Settings::options()[1] = std::uint8_t(option1);
    RecordingUpdateView view;
    view.lines << "black: from before";
    UpdateLog("00000.log").showHistory(view);
    QCOMPARE(view.clears, 1);
    QCOMPARE(view.lines, shown);
}

// The upload logs in as the site's user, changes to "/UPDATE/LOGS" and stores the whole log
// under its own name, in binary; a second upload replaces the first.
void TestUpdateLog::uploadArrivesInLogs()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(u"UPDATE/LOGS"_s));
    FtpTestServer server;
    server.addUser(u"kora"_s, u"s3cret"_s, root.path(), u"elradfmw"_s);
    START_FTP_SERVER(server);
    UpdateSites::setUpdateSite(1, {"s3cret", "kora", 21, server.url().toLatin1()});

    UpdateLog log("00042.log");
    FtpClient ftp;
    QSignalSpy done(&ftp, &FtpClient::done);
    const QString remote = root.filePath(u"UPDATE/LOGS/00042.log"_s);
    const QList<QByteArray> logs{"#first\r\n\xc0\n", "#second\n"};
    QByteArray whole;
    for (const QByteArray &lines : logs) {
        log.write("%s", lines.chopped(1).constData());
        whole += lines;
        log.upload(ftp, 1);
        QVERIFY(done.wait(20000));
        QCOMPARE(done.takeFirst().at(0).toBool(), false);
        QCOMPARE(readFile(remote), whole);
    }
    const QStringList commands = server.commands();
    QCOMPARE(commands.filter(u"USER"_s), QStringList(2, u"USER kora"_s));
    QCOMPARE(commands.filter(u"CWD"_s), QStringList(2, u"CWD /UPDATE/LOGS"_s));
    QCOMPARE(commands.filter(u"STOR"_s), QStringList(2, u"STOR 00042.log"_s));
    QVERIFY(commands.contains(u"TYPE I"_s));
    QVERIFY(!commands.contains(u"TYPE A"_s));
}

QTEST_MAIN(TestUpdateLog)
#include "tst_updatelog.moc"
