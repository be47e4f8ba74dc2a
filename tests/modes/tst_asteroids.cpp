#include "common/ftptestserver.h"
#include "common/sizedfilesystem.h"
#include "installation/hostinstallation.h"
#include "modes/asteroids/taster.h"
#include "modes/modeentries.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

// The build puts the catalog beside the test programs (where they run elsewhere, as under Wine,
// the build's own path would name another folder).
QString shippedCatalog()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tav.t");
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

QByteArray ephemerisBytes(int number, qsizetype size = 64 * 1024)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(quint32(number) + 1);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

QString catalogText(const char *key, int number)
{
    char text[400];
    std::snprintf(text, sizeof text, Catalog::text(key)->constData(), number);
    return CodePage::toUnicode(text);
}

// Every file below dir, relative paths; the run's log "taw.tax" aside.
QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(dir).relativeFilePath(it.next());
        if (file != u"taw.tax")
            files << file;
    }
    files.sort();
    return files;
}

} // namespace

class TestAsteroids : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dialogFromCatalog();
    void fetch_data();
    void fetch();
    void presentFileIsNotFetchedAgain();
    void catalogFormatsAreChecked_data();
    void catalogFormatsAreChecked();
    void missingEphemerisDirectory();
    void failedDownloadLeavesNoFile_data();
    void failedDownloadLeavesNoFile();
    void secondPressWhileDownloading();
    void dialogClosedWhileDownloading();

private:
    std::unique_ptr<TAster> openDialog();
    // Types the number, presses "FtpA" and waits until the request has shown its box.
    void press(TAster &dialog, const QString &number);

    QTemporaryDir m_serverRoot;
    std::unique_ptr<FtpTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_installation;
    QString m_previousDirectory;
    const QList<int> m_onServer{0, 500, 1000, 1234, 422627};
};

void TestAsteroids::initTestCase()
{
    Diagnostics::setRecording(true);
    m_previousDirectory = QDir::currentPath();
    Catalog::load(shippedCatalog());
    QVERIFY(Catalog::isLoaded());
    for (int number : m_onServer) {
        const QString remote = QStringLiteral("%1/pub/swisseph/ephe/ast%2/se%3s.se1")
                                   .arg(m_serverRoot.path())
                                   .arg(number / 1000)
                                   .arg(number, 5, 10, QLatin1Char('0'));
        QVERIFY(writeFile(remote, ephemerisBytes(number)));
    }
    m_server = std::make_unique<FtpTestServer>();
    m_server->allowAnonymous(m_serverRoot.path());
    START_FTP_SERVER(*m_server);
    TAster::setSourceUrl(m_server->url().toLatin1() + "/pub/swisseph/ephe/");
}

void TestAsteroids::init()
{
    m_installation = std::make_unique<QTemporaryDir>();
    QVERIFY(m_installation->isValid());
    QVERIFY(QDir::setCurrent(m_installation->path()));
    QVERIFY(writeFile(QStringLiteral("PLP018.E1"), "marker"));
    HostInstallation::resetEphemerisDirectory();
    Settings::reset();
    Diagnostics::clearRecordedBoxes();
}

void TestAsteroids::cleanup()
{
    QDir::setCurrent(m_previousDirectory);
}

std::unique_ptr<TAster> TestAsteroids::openDialog()
{
    std::unique_ptr<QWidget> window = Modes::startAsteroidDialog();
    auto *dialog = qobject_cast<TAster *>(window.get());
    if (!dialog)
        return nullptr;
    window.release();
    return std::unique_ptr<TAster>(dialog);
}

void TestAsteroids::press(TAster &dialog, const QString &number)
{
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("NAst"));
    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("FtpA"));
    QVERIFY(field && button);
    field->setText(number);
    const qsizetype before = Diagnostics::recordedBoxes().size();
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(Diagnostics::recordedBoxes().size() > before && !dialog.isDownloading(), 30000);
}

void TestAsteroids::dialogFromCatalog()
{
    auto dialog = openDialog();
    QVERIFY(dialog);
    QVERIFY(!dialog->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(dialog->windowTitle().startsWith(QStringLiteral("***")));
    QVERIFY(dialog->findChild<QLineEdit *>(QStringLiteral("NAst")));
    for (const char *name : {"Nel", "ListA", "FtpA", "SaitA"})
        QVERIFY2(dialog->findChild<QPushButton *>(QString::fromLatin1(name)), name);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestAsteroids::fetch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("localFile"); // empty: nothing fetched
    QTest::addColumn<QString>("remoteDirectory");

    QTest::newRow("0") << QStringLiteral("0") << 0 << QStringLiteral("0000/SE00000S.SE1")
                       << QStringLiteral("ast0");
    QTest::newRow("not a number is 0")
        << QStringLiteral("abc") << 0 << QStringLiteral("0000/SE00000S.SE1") << QStringLiteral("ast0");
    QTest::newRow("500") << QStringLiteral("500") << 500 << QStringLiteral("0005/SE00500S.SE1")
                         << QStringLiteral("ast0");
    QTest::newRow("1000") << QStringLiteral("1000") << 1000 << QStringLiteral("0010/SE01000S.SE1")
                          << QStringLiteral("ast1");
    QTest::newRow("1234") << QStringLiteral("1234") << 1234 << QStringLiteral("0010/SE01234S.SE1")
                          << QStringLiteral("ast1");
    QTest::newRow("largest") << QStringLiteral("422627") << 422627 << QStringLiteral("4225/SE422627S.SE1")
                             << QStringLiteral("ast422");
    QTest::newRow("above the largest") << QStringLiteral("422628") << 422628 << QString() << QString();
    QTest::newRow("negative") << QStringLiteral("-5") << -5 << QString() << QString();
}

void TestAsteroids::fetch()
{
    QFETCH(QString, typed);
    QFETCH(int, number);
    QFETCH(QString, localFile);
    QFETCH(QString, remoteDirectory);

    auto dialog = openDialog();
    QVERIFY(dialog);
    const qsizetype commandsBefore = m_server->commands().size();
    press(*dialog, typed);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(Settings::value("NAst").value_or(QByteArray()), typed.toUtf8());

    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    const QStringList newCommands = m_server->commands().mid(commandsBefore);
    if (localFile.isEmpty()) {
        QCOMPARE(boxes.at(0).title, QStringLiteral("*** Warring"));
        QCOMPARE(boxes.at(0).text, Catalog::displayText("ErrNa"));
        QVERIFY(newCommands.isEmpty());
        QCOMPARE(filesBelow(m_installation->path()), QStringList{QStringLiteral("PLP018.E1")});
        return;
    }
    QCOMPARE(dialog->asteroidNumber(), number);
    QCOMPARE(boxes.at(0).title, QStringLiteral("*** Warring"));
    QCOMPARE(boxes.at(0).text, catalogText("Ast%L", number));
    QCOMPARE(readFile(localFile), ephemerisBytes(number));
    QCOMPARE(filesBelow(m_installation->path()), (QStringList{localFile, QStringLiteral("PLP018.E1")}));
    QVERIFY2(newCommands.contains(QStringLiteral("CWD pub/swisseph/ephe/") + remoteDirectory),
        qPrintable(newCommands.join(u'|')));
    QVERIFY(newCommands.contains(QStringLiteral("RETR se%1s.se1").arg(number, 5, 10, QLatin1Char('0'))));
    QVERIFY(newCommands.contains(QStringLiteral("USER anonymous")));
    QVERIFY(newCommands.contains(QStringLiteral("TYPE I")));
}

void TestAsteroids::presentFileIsNotFetchedAgain()
{
    QVERIFY(writeFile(QStringLiteral("0010/SE01234S.SE1"), QByteArray()));
    auto dialog = openDialog();
    QVERIFY(dialog);
    const qsizetype commandsBefore = m_server->commands().size();
    press(*dialog, QStringLiteral("1234"));
    if (QTest::currentTestFailed())
        return;

    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.at(0).text.contains(QStringLiteral("1234")), qPrintable(boxes.at(0).text));
    QVERIFY(boxes.at(0).text.contains(QStringLiteral("SE01234S.SE1")));
    QCOMPARE(m_server->commands().size(), commandsBefore);
    QCOMPARE(QFileInfo(QStringLiteral("0010/SE01234S.SE1")).size(), 0);
}

// The texts of "As%is" and "Ast%L" are formats; one that would read the number or the path with
// another type gives way to the built-in format.
void TestAsteroids::catalogFormatsAreChecked_data()
{
    QTest::addColumn<QByteArray>("presentFormat");
    QTest::addColumn<QByteArray>("fetchedFormat");
    QTest::addColumn<QString>("presentBox"); // %1: the path
    QTest::addColumn<QString>("fetchedBox");

    QTest::newRow("width and precision kept")
        << QByteArray("No %-5d, at %.60s!") << QByteArray("Got %06d") << QStringLiteral("No 1234 , at %1!")
        << QStringLiteral("Got 001000");
    QTest::newRow("length modifiers give the built-in formats")
        << QByteArray("%ld is at %ls") << QByteArray("Got %hhd") << QStringLiteral("1234: %1")
        << QStringLiteral("1000");
    QTest::newRow("pointer write and argument width refused")
        << QByteArray("%d%n %s") << QByteArray("Got %*d") << QStringLiteral("1234: %1")
        << QStringLiteral("1000");
}

void TestAsteroids::catalogFormatsAreChecked()
{
    QFETCH(QByteArray, presentFormat);
    QFETCH(QByteArray, fetchedFormat);
    QFETCH(QString, presentBox);
    QFETCH(QString, fetchedBox);
    // The first occurrence of a key wins, so these come before the shipped catalog.
    QVERIFY(
        writeFile(QStringLiteral("formats.t"), "As%is " + presentFormat + "\nAst%L " + fetchedFormat + '\n'));
    Catalog::clear();
    QVERIFY(Catalog::load(QStringLiteral("formats.t")));
    QVERIFY(Catalog::load(shippedCatalog()));
    QVERIFY(writeFile(QStringLiteral("0010/SE01234S.SE1"), "old"));

    auto dialog = openDialog();
    QVERIFY(dialog);
    press(*dialog, QStringLiteral("1234"));
    press(*dialog, QStringLiteral("1000"));
    Catalog::clear();
    Catalog::load(shippedCatalog());
    if (QTest::currentTestFailed())
        return;

    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, presentBox.arg(CodePage::toUnicode(HostInstallation::asteroidFilePath(1234))));
    QCOMPARE(boxes.at(1).text, fetchedBox);
    QCOMPARE(readFile(QStringLiteral("0010/SE01000S.SE1")), ephemerisBytes(1000));
}

void TestAsteroids::missingEphemerisDirectory()
{
    QVERIFY(QFile::remove(QStringLiteral("PLP018.E1")));
    const bool rootFolderBefore = QFileInfo::exists(QStringLiteral("/0010"));
    auto dialog = openDialog();
    QVERIFY(dialog);
    auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).text, Catalog::displayText("NoDirEph"));

    const qsizetype commandsBefore = m_server->commands().size();
    press(*dialog, QStringLiteral("1234"));
    if (QTest::currentTestFailed())
        return;
    boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(1).title, QStringLiteral("Warring"));
    QVERIFY2(boxes.at(1).text.startsWith(QStringLiteral("Error: Cannot create file ")),
        qPrintable(boxes.at(1).text));
    QVERIFY(boxes.at(1).text.contains(QStringLiteral("SE01234S.SE1")));
    QCOMPARE(m_server->commands().size(), commandsBefore);
    QCOMPARE(QFileInfo::exists(QStringLiteral("/0010")), rootFolderBefore);
    QVERIFY(filesBelow(m_installation->path()).isEmpty());
}

void TestAsteroids::failedDownloadLeavesNoFile_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<qint64>("dropAfter");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("folderKiB"); // the asteroid's folder is a disk of that size; 0: no limit

    QTest::newRow("missing on the server") << 2000 << qint64(-1) << QStringLiteral("550") << 0;
    QTest::newRow("cut halfway") << 1234 << qint64(20000) << QStringLiteral("closed") << 0;
    // The box names the file and the disk's reason, not the transfer.
    QTest::newRow("the ephemeris folder full")
        << 1234 << qint64(-1) << QStringLiteral("SE01234S.SE1: ") + SizedFileSystem::fullText() << 16;
}

void TestAsteroids::failedDownloadLeavesNoFile()
{
    QFETCH(int, number);
    QFETCH(qint64, dropAfter);
    QFETCH(QString, cause);
    QFETCH(int, folderKiB);

    SizedFileSystem disk;
    if (folderKiB > 0)
        SKIP_UNLESS_MOUNTED(disk, m_installation->filePath(QStringLiteral("0010")), qint64(folderKiB) * 1024);
    FtpTestServer failing;
    failing.allowAnonymous(m_serverRoot.path());
    failing.setDropAfter(dropAfter);
    START_FTP_SERVER(failing);
    TAster::setSourceUrl(failing.url().toLatin1() + "/pub/swisseph/ephe/");
    auto dialog = openDialog();
    QVERIFY(dialog);
    press(*dialog, QString::number(number));
    TAster::setSourceUrl(m_server->url().toLatin1() + "/pub/swisseph/ephe/");
    if (QTest::currentTestFailed())
        return;

    auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Warring"));
    QVERIFY2(boxes.at(0).text.startsWith(QStringLiteral("Error: ")), qPrintable(boxes.at(0).text));
    QVERIFY2(boxes.at(0).text.contains(cause), qPrintable(boxes.at(0).text));
    // The folder may stay; no file, whole or partial, is left in it.
    QCOMPARE(filesBelow(m_installation->path()), QStringList{QStringLiteral("PLP018.E1")});

    // So the next request fetches the file instead of calling it present, once there is room.
    disk.unmount();
    if (m_onServer.contains(number)) {
        press(*dialog, QString::number(number));
        boxes = Diagnostics::recordedBoxes();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes.at(1).text, catalogText("Ast%L", number));
        QCOMPARE(readFile(QStringLiteral("0010/SE01234S.SE1")), ephemerisBytes(number));
    }
}

void TestAsteroids::secondPressWhileDownloading()
{
    auto dialog = openDialog();
    QVERIFY(dialog);
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("NAst"));
    auto *button = dialog->findChild<QPushButton *>(QStringLiteral("FtpA"));
    QVERIFY(field && button);
    field->setText(QStringLiteral("1000"));
    button->click();
    QVERIFY(dialog->isDownloading());
    field->setText(QStringLiteral("1234"));
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDownloading(), 30000);
    QTest::qWait(50);

    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, Catalog::displayText("AstBusy"));
    QCOMPARE(boxes.at(1).text, catalogText("Ast%L", 1000));
    QCOMPARE(readFile(QStringLiteral("0010/SE01000S.SE1")), ephemerisBytes(1000));
    QVERIFY(!QFileInfo::exists(QStringLiteral("0010/SE01234S.SE1")));
}

void TestAsteroids::dialogClosedWhileDownloading()
{
    auto dialog = openDialog();
    QVERIFY(dialog);
    auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("NAst"));
    auto *button = dialog->findChild<QPushButton *>(QStringLiteral("FtpA"));
    QVERIFY(field && button);
    field->setText(QStringLiteral("1234"));
    button->click();
    // The batch starts connecting; the window goes long before the server could have answered
    // the whole login.
    QCoreApplication::processEvents();
    QVERIFY(dialog->isDownloading());
    dialog.reset();
    QTest::qWait(100);
    QCOMPARE(filesBelow(m_installation->path()), QStringList{QStringLiteral("PLP018.E1")});
}

QTEST_MAIN(TestAsteroids)
#include "tst_asteroids.moc"
