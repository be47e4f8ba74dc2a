// The updater window in this process against three real FTP sites on 127.0.0.1, with the real
// archiver copied into a temporary installation: site choice and fall-back, what the log view
// says in which colour, the check's outcomes, and the refusals of a run that cannot go on.

#include "common/minisigntool.h"
#include "common/sizedfilesystem.h"
#include "common/standinprogram.h"
#include "common/testarchives.h"
#include "common/testpaths.h"
#include "common/updatesiteserver.h"
#include "modes/modeentries.h"
#include "modes/update/tup.h"
#include "modes/update/updateconfirmation.h"
#include "modes/update/updatesignature.h"
#include "platform/archiver.h"
#include "platform/ftp/updatesites.h"
#include "platform/installationlock.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "toolkit/widgethelpers.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMetaMethod>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <deployment.h>

#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>
#include <filesystem>
#include <fstream>

using namespace Qt::StringLiterals;

namespace {

const QDateTime installedTime = QDateTime::fromSecsSinceEpoch(1'600'000'000);
const QDateTime newerTime = installedTime.addSecs(86400);

QString colourName(const QColor &colour)
{
    static const std::array<std::pair<Qt::GlobalColor, const char *>, 6> names{
        {{Qt::blue, "blue"}, {Qt::magenta, "magenta"}, {Qt::darkBlue, "darkBlue"}, {Qt::red, "red"},
            {Qt::green, "green"}, {Qt::black, "black"}}};
    for (const auto &[global, name] : names) {
        if (QColor(global) == colour)
            return QString::fromLatin1(name);
    }
    return colour.name();
}

// "colour: text" per line of the log view.
QStringList viewLines(const TUp &dialog)
{
    QStringList lines;
    for (QTextBlock block = dialog.logView()->document()->begin(); block.isValid(); block = block.next()) {
        const QColor colour
            = block.begin().atEnd() ? QColor() : block.begin().fragment().charFormat().foreground().color();
        lines << colourName(colour) + u": "_s + block.text();
    }
    return lines;
}

QString shown(const char *key)
{
    return CodePage::toUnicode(Catalog::text(key).value_or(QByteArray()));
}

QStringList recordedTexts()
{
    QStringList texts;
    for (const auto &box : Diagnostics::recordedBoxes())
        texts << box.text;
    return texts;
}

bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    // Written out first: the flush would set the time again.
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
        && file.flush() && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// Writes until the disk refuses a single byte more.
void fillDisk(const QString &path)
{
    QFile ballast(path);
    if (!ballast.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    for (const qsizetype size : {64 * 1024, 512, 1}) {
        const QByteArray chunk(size, 'b');
        while (ballast.write(chunk) == size) { }
    }
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The archiver's file name in an installation: "rar", "rar.exe" on Windows.
QString archiverName()
{
    return QFileInfo(Archiver::programPath()).fileName();
}

// The archiver the build made.
QString builtArchiver()
{
    return QDir::toNativeSeparators(TestPaths::built(archiverName()));
}

// The child of oneUpdaterPerInstallation(): another process holds the updater's lock of the
// current directory, says so by making the file marked and waits to be killed.
int holdUpdaterLock(const QString &marked)
{
    InstallationLock lock(u"tavup.lck"_s);
    if (lock.tryLock() != InstallationLock::State::Held)
        return 1;
    QFile mark(marked);
    if (!mark.open(QIODevice::WriteOnly))
        return 2;
    mark.close();
    QThread::sleep(60);
    return 0;
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dialog();
    void buttons_data();
    void buttons();
    void sites_data();
    void sites();
    void outcomes_data();
    void outcomes();
    void againAfterFailure();
    void eightBitNames_data();
    void eightBitNames();
    void archiveCannotBeCreated();
    void localFaults_data();
    void localFaults();
    void installationFull_data();
    void installationFull();
    void stalledSiteIsLeft();
    void secondNewWhileDownloading();
    void inputWhileUnpackingIsDropped();
    void signedUpdates_data();
    void signedUpdates();
    void closingDuringRun_data();
    void closingDuringRun();
    void oneUpdaterPerInstallation_data();
    void oneUpdaterPerInstallation();
    void updateNameLeadingOutside_data();
    void updateNameLeadingOutside();
    void resumedDownload_data();
    void resumedDownload();

private:
    // The shipped catalog behind lines that take precedence.
    void loadCatalog(const QByteArray &firstLines);
    std::unique_ptr<TUp> openDialog();
    // Presses "New" and waits until the run has ended, its upload included.
    void runUpdate(TUp &dialog);
    void pointSiteAt(int site, const QString &url);

    // Started and stopped again: nothing listens on its port.
    FtpTestServer m_down;
    std::array<std::unique_ptr<UpdateSiteServer>, 3> m_sites;
    std::unique_ptr<QTemporaryDir> m_installation;
    QString m_previousDirectory = QDir::currentPath();
    QList<QUrl> m_opened;
    // The confirmation is answered by this timer: accept or refuse; what it showed is kept.
    QTimer m_answer;
    bool m_accept = true;
    // Run just before the confirmation is answered, once.
    std::function<void()> m_beforeAnswer;
    int m_confirmations = 0;
    QString m_readme;
};

void TestUpdater::initTestCase()
{
    Diagnostics::setRecording(true);
    WidgetHelpers::setUrlOpener([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
    for (int site = 0; site < 3; ++site) {
        m_sites[site]
            = std::make_unique<UpdateSiteServer>(u"tavsite%1"_s.arg(site), u"secret-%1"_s.arg(site));
        START_FTP_SERVER(*m_sites[site]);
    }
    QVERIFY(m_down.start());
    m_down.stop();
    m_answer.setInterval(20);
    connect(&m_answer, &QTimer::timeout, this, [this] {
        auto *confirmation = qobject_cast<UpdateConfirmation *>(QApplication::activeModalWidget());
        if (!confirmation)
            return;
        ++m_confirmations;
        m_readme = confirmation->readmeLabel()->text();
        if (m_beforeAnswer)
            std::exchange(m_beforeAnswer, nullptr)();
        m_accept ? confirmation->accept() : confirmation->reject();
    });
    m_answer.start();
}

void TestUpdater::init()
{
    m_installation = std::make_unique<QTemporaryDir>();
    QVERIFY(m_installation->isValid());
    QVERIFY(QDir::setCurrent(m_installation->path()));
    QVERIFY(QFile::copy(builtArchiver(), archiverName()));
    QVERIFY(writeFile(u"data.dat"_s, "old data", installedTime));
    QVERIFY(writeFile(u"same.dat"_s, "unchanged", installedTime));
    Settings::reset();
    Diagnostics::clearRecordedBoxes();
    Diagnostics::resetLog();
    loadCatalog({});
    // Every test starts from the same update on each site.
    for (int site = 0; site < 3; ++site) {
        pointSiteAt(site, m_sites[site]->url());
        QVERIFY2(m_sites[site]->putArchive(u"ko10.rar"_s,
                     {{u"readme"_s, "Update <b>10</b> of site " + QByteArray::number(site), newerTime},
                         {u"data.dat"_s, "new data " + QByteArray::number(site), newerTime},
                         {u"same.dat"_s, "unchanged", installedTime}}),
            qPrintable(m_sites[site]->lastError()));
    }
    m_opened.clear();
    m_accept = true;
    m_beforeAnswer = nullptr;
    m_confirmations = 0;
    m_readme.clear();
}

void TestUpdater::cleanup()
{
    UpdateSignature::setPublicKey({});
    QDir::setCurrent(m_previousDirectory);
}

void TestUpdater::loadCatalog(const QByteArray &firstLines)
{
    Catalog::clear();
    if (!firstLines.isEmpty()) {
        QFile first(u"first.t"_s);
        QVERIFY(first.open(QIODevice::WriteOnly) && first.write(firstLines) == firstLines.size());
        first.close();
        Catalog::load(u"first.t"_s);
    }
    Catalog::load(TestPaths::built(u"tav.en.t"_s));
    QVERIFY(Catalog::text("Tav").has_value());
}

void TestUpdater::pointSiteAt(int site, const QString &url)
{
    UpdateSites::setUpdateSite(site,
        {CodePage::fromUnicode(u"secret-%1"_s.arg(site)), CodePage::fromUnicode(u"tavsite%1"_s.arg(site)), 21,
            url.toLatin1()});
}

std::unique_ptr<TUp> TestUpdater::openDialog()
{
    std::unique_ptr<QWidget> window = Modes::startUpdaterDialog("10", "1.0", "kora10.exe");
    auto *dialog = qobject_cast<TUp *>(window.get());
    if (!dialog)
        return nullptr;
    window.release();
    return std::unique_ptr<TUp>(dialog);
}

void TestUpdater::runUpdate(TUp &dialog)
{
    auto *button = dialog.findChild<QPushButton *>(u"New"_s);
    QVERIFY(button);
    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRunning(), 30000);
}

void TestUpdater::dialog()
{
    auto dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->metaObject()->className(), "TUp");
    QStringList methods;
    for (int i = QDialog::staticMetaObject.methodCount(); i < dialog->metaObject()->methodCount(); ++i)
        methods << QString::fromLatin1(dialog->metaObject()->method(i).methodSignature());
    QCOMPARE(methods, (QStringList{u"Knop()"_s, u"upDoneFile(bool)"_s, u"upDoneLog(bool)"_s, u"Status()"_s}));

    QCOMPARE(dialog->windowTitle(), u"***"_s + Catalog::displayText("main"));
    QVERIFY(!dialog->testAttribute(Qt::WA_DeleteOnClose));
    // No backup yet.
    QVERIFY(!dialog->findChild<QPushButton *>(u"ReBak"_s)->isEnabled());

    auto *sites = dialog->findChild<QComboBox *>(u"Vib"_s);
    QVERIFY(sites);
    QStringList items;
    for (int i = 0; i < sites->count(); ++i)
        items << sites->itemText(i);
    QStringList expected{Catalog::displayText("Aut")};
    for (const auto &entry : UpdateSites::siteList())
        expected << CodePage::toUnicode(entry.displayName);
    QCOMPARE(items, expected);
    QCOMPARE(items.size(), 4);

    QCOMPARE(viewLines(*dialog), QStringList{u"blue: "_s + shown("ProtLi")});
    QVERIFY(dialog->logView()->isReadOnly());
    QCOMPARE(dialog->logView()->minimumWidth(), WidgetHelpers::screenSize().width() / 6);
    QVERIFY(dialog->progressBar()->isHidden());
    // The keyboard starts on the first control: Space presses "New".
    QCOMPARE(dialog->focusWidget(), dialog->findChild<QPushButton *>(u"New"_s));
    QCOMPARE(dialog->archiveName(), "ko10.rar"_ba);
    QCOMPARE(dialog->logName(), "00000.log"_ba);

    // The state report, reachable by name only.
    QVERIFY(QMetaObject::invokeMethod(dialog.get(), "Status"));
    QCOMPARE(viewLines(*dialog).last(), u"black: state=0:Unconnected"_s);
    QVERIFY(readFile(u"taw.tax"_s).contains("\nstate=0:Unconnected\n"));
}

void TestUpdater::buttons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<bool>("closes");

    QTest::newRow("Nel") << u"Nel"_s << u"http://www."_s + QString::fromLatin1(Deployment::webSite) << false;
    QTest::newRow("Lumida") << u"Lumida"_s << u"http://www."_s + QString::fromLatin1(Deployment::webSite2)
                            << false;
    QTest::newRow("ReMain") << u"ReMain"_s << QString() << true;
    QTest::newRow("a button of no action") << u"Help"_s << QString() << false;
}

void TestUpdater::buttons()
{
    QFETCH(QString, button);
    QFETCH(QString, opened);
    QFETCH(bool, closes);

    auto dialog = openDialog();
    QVERIFY(dialog);
    auto *pressed = dialog->findChild<QPushButton *>(button);
    if (!pressed) {
        pressed = new QPushButton(dialog.get());
        pressed->setObjectName(button);
        connect(pressed, SIGNAL(clicked()), dialog.get(), SLOT(Knop()));
    }
    // Every button stores the fields first: the site chosen is kept in option slot 0.
    dialog->findChild<QComboBox *>(u"Vib"_s)->setCurrentIndex(2);
    pressed->click();
    QCOMPARE(int(Settings::options()[0]), 2);
    QCOMPARE(m_opened.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(m_opened.at(0).toString(QUrl::StripTrailingSlash), opened);
    QCOMPARE(dialog->isVisible(), !closes);
    QCOMPARE(viewLines(*dialog).size(), 1);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestUpdater::sites_data()
{
    QTest::addColumn<QByteArray>("catalog"); // lines before the shipped catalog
    QTest::addColumn<int>("choice");
    QTest::addColumn<QList<int>>("down");
    QTest::addColumn<QStringList>("attempts"); // what the dark-blue lines name, in order
    QTest::addColumn<int>("refused"); // red lines: a site number outside the table
    QTest::addColumn<int>("served"); // the site that delivered, -1 for none

    const QString main = u"'Main server'"_s;
    const QString reserve = u"'Reserve server'"_s;
    QTest::newRow("automatic, the first site serves")
        << ""_ba << 0 << QList<int>() << QStringList{main} << 0 << 0;
    QTest::newRow("automatic, the first site down, the second serves")
        << ""_ba << 0 << QList<int>{0} << QStringList{main, reserve} << 0 << 1;
    QTest::newRow("automatic, both down: the third is never asked")
        << ""_ba << 0 << QList<int>{0, 1} << QStringList{main, reserve} << 0 << -1;
    QTest::newRow("a chosen site that fails is tried once")
        << ""_ba << 2 << QList<int>{1} << QStringList{reserve} << 0 << -1;
    QTest::newRow("site 2 chosen and reached")
        << ""_ba << 3 << QList<int>() << QStringList{u"'Additional server'"_s} << 0 << 2;
    QTest::newRow("one entry: the second attempt names site 0")
        << "Saits 1Only\n"_ba << 0 << QList<int>{1} << QStringList{u"'Only'"_s, u"'0'"_s} << 0 << 0;
    QTest::newRow("a number outside the table counts as a failed attempt")
        << "Saits 7Far/2Near\n"_ba << 0 << QList<int>() << QStringList{u"'Far'"_s, u"'Near'"_s} << 1 << 2;
    QTest::newRow("chosen, outside the table: no retry")
        << "Saits 1One/-1Minus\n"_ba << 2 << QList<int>() << QStringList{u"'1Minus'"_s} << 1 << -1;
    QTest::newRow("without a site box the run is automatic")
        << "Tav (B-New)V\n"_ba << -1 << QList<int>{0} << QStringList{main, reserve} << 0 << 1;
}

void TestUpdater::sites()
{
    QFETCH(QByteArray, catalog);
    QFETCH(int, choice);
    QFETCH(QList<int>, down);
    QFETCH(QStringList, attempts);
    QFETCH(int, refused);
    QFETCH(int, served);

    loadCatalog(catalog);
    for (int site : std::as_const(down))
        pointSiteAt(site, m_down.url());
    std::array<qsizetype, 3> commandsBefore{};
    for (int site = 0; site < 3; ++site)
        commandsBefore[site] = m_sites[site]->server().commands().size();

    auto dialog = openDialog();
    QVERIFY(dialog);
    if (choice >= 0)
        dialog->findChild<QComboBox *>(u"Vib"_s)->setCurrentIndex(choice);
    else
        QVERIFY(!dialog->findChild<QComboBox *>(u"Vib"_s));
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;

    const QStringList lines = viewLines(*dialog);
    QCOMPARE(
        lines.mid(0, 2), (QStringList{u"blue: "_s + shown("ProtLi"), u"magenta: "_s + shown("LoadNew")}));
    const QString attemptLine = u"darkBlue: "_s + shown("obrSait") + u' ';
    QStringList named;
    for (const QString &line : lines) {
        if (line.startsWith(attemptLine))
            named << line.mid(attemptLine.size());
    }
    QCOMPARE(named, attempts);
    QCOMPARE(lines.filter(u"red: "_s + shown("NoSait")).size(), refused);
    // A failed attempt says what failed in the client's or the server's words, never the client's
    // error number.
    const QStringList errors = lines.filter(u"red: Error"_s);
    QCOMPARE(errors.size(), qsizetype(attempts.size() - refused - (served >= 0 ? 1 : 0)));
    for (const QString &error : errors)
        QVERIFY2(
            QRegularExpression(u"^red: Error: [A-Z][a-z]+ .+"_s).match(error).hasMatch(), qPrintable(error));

    for (int site = 0; site < 3; ++site) {
        const QStringList commands = m_sites[site]->server().commands().mid(commandsBefore[site]);
        // A site that is not tried hears nothing at all.
        if (site != served) {
            QVERIFY2(commands.isEmpty(), qPrintable(commands.join(u'|')));
        } else {
            QVERIFY(commands.contains(u"RETR ko10.rar"_s));
            QVERIFY(commands.contains(u"USER tavsite%1"_s.arg(site)));
            QVERIFY(commands.contains(u"CWD /UPDATE"_s));
            QVERIFY(commands.contains(u"STOR 00000.log"_s));
        }
    }
    if (served < 0) {
        QCOMPARE(lines.last(), u"red: "_s + shown("NoInf"));
        QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("NoInf")});
        QCOMPARE(readFile(u"data.dat"_s), "old data"_ba);
        QCOMPARE(filesIn(u"UP00"_s), QStringList());
        return;
    }
    // Downloaded, unpacked, found newer, confirmed, installed and the log sent to that site.
    QCOMPARE(m_confirmations, 1);
    QCOMPARE(m_readme, u"Update <b>10</b> of site %1\n"_s.arg(served));
    QCOMPARE(readFile(u"data.dat"_s), "new data "_ba + QByteArray::number(served));
    QCOMPARE(readFile(u"same.dat"_s), "unchanged"_ba);
    const qsizetype fload = lines.indexOf(u"green: "_s + shown("Fload"));
    QVERIFY2(fload > 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.at(fload + 1), u"green: "_s + shown("RarSus"));
    QCOMPARE(m_sites[served]->uploadedLog(u"00000.log"_s), readFile(u"00000.log"_s));
    // The attempt that succeeded: the first chosen entry, or the last automatic one.
    const int attempt = choice > 0 ? choice - 1 : int(attempts.size()) - 1;
    const QByteArray log = readFile(u"taw.tax"_s);
    QVERIFY2(log.contains("upDoneFile; err=0 att=" + QByteArray::number(attempt)), log.constData());
    QVERIFY(dialog->progressBar()->isHidden());
}

void TestUpdater::outcomes_data()
{
    QTest::addColumn<QByteArray>("updateFile");
    QTest::addColumn<QByteArray>("bytes"); // served as the update; empty: an archive made here
    QTest::addColumn<bool>("archiver");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("confirmations");
    QTest::addColumn<QStringList>("installed"); // files that the update brought into the installation
    QTest::addColumn<QByteArray>("box"); // the key of the last box, empty for none
    QTest::addColumn<QByteArray>("lastLogLine"); // of the update log, empty: not looked at

    const QByteArray refusal = "#" + Catalog::text("Otkaz").value_or(QByteArray());
    const QByteArray nothing = "#" + Catalog::text("ActIs").value_or(QByteArray());
    const auto fixture
        = [](const QString &name) { return readFile(TestPaths::sharedDir() + u"/fixtures/rar/"_s + name); };
    QTest::newRow("refused") << "10"_ba << QByteArray() << true << false << 1 << QStringList() << QByteArray()
                             << refusal;
    QTest::newRow("no archiver") << "10"_ba << QByteArray() << false << true << 0 << QStringList()
                                 << "NoRar"_ba << QByteArray();
    QTest::newRow("a cut archive") << "10"_ba
                                   << fixture(u"test_read_format_rar5_multiple_files.rar"_s).left(1000)
                                   << true << true << 0 << QStringList() << "RarErr"_ba << QByteArray();
    QTest::newRow("a genuine RAR5 archive with a subdirectory")
        << "10"_ba << fixture(u"test_read_format_rar5_extra_field_version.rar"_s) << true << true << 1
        << QStringList{u"bin/2to3"_s, u"bin/2to3;1"_s} << QByteArray() << QByteArray();
    QTest::newRow("a genuine RAR5 archive, nothing newer")
        << "10"_ba << fixture(u"test_read_format_rar5_stored.rar"_s) << true << true << 0 << QStringList()
        << "ActIs"_ba << nothing;
    QTest::newRow("an archive named in capitals is installed with the update")
        << "KO10.rar"_ba << QByteArray() << true << true << 1 << QStringList{u"data.dat"_s, u"KO10.rar"_s}
        << QByteArray() << QByteArray();
}

void TestUpdater::outcomes()
{
    QFETCH(QByteArray, updateFile);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, archiver);
    QFETCH(bool, accept);
    QFETCH(int, confirmations);
    QFETCH(QStringList, installed);
    QFETCH(QByteArray, box);
    QFETCH(QByteArray, lastLogLine);

    const QByteArray archive = updateFile.contains("rar") ? updateFile : "ko" + updateFile + ".rar";
    if (!bytes.isEmpty())
        QVERIFY(m_sites[0]->putFile(QString::fromLatin1(archive), bytes));
    else
        QVERIFY(
            m_sites[0]->putArchive(QString::fromLatin1(archive), {{u"data.dat"_s, "new data 0", newerTime}}));
    if (!archiver)
        QVERIFY(QFile::remove(archiverName()));
    // The stored RAR5 file is older than the installed one; the other one's folder exists.
    QVERIFY(writeFile(u"helloworld.txt"_s, "installed", QDateTime::currentDateTime()));
    QVERIFY(QDir().mkdir(u"bin"_s));
    QVERIFY(writeFile(u"UP00/before.dat"_s, "x", newerTime));
    m_accept = accept;

    std::unique_ptr<QWidget> window = Modes::startUpdaterDialog(updateFile, "", "kora10.exe");
    auto *dialog = qobject_cast<TUp *>(window.get());
    QVERIFY(dialog);
    QCOMPARE(dialog->archiveName(), archive);
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_confirmations, confirmations);

    const QStringList boxes = recordedTexts();
    if (box.isEmpty())
        QVERIFY2(!boxes.contains(Catalog::displayText("NoRar")), qPrintable(boxes.join(u'|')));
    else
        QVERIFY2(!boxes.isEmpty() && boxes.last().startsWith(Catalog::displayText(box)),
            qPrintable(boxes.join(u'|')));
    for (const QString &file : std::as_const(installed))
        QVERIFY2(QFileInfo::exists(file) && !QFileInfo::exists(u"UP00/"_s + file), qPrintable(file));
    if (!installed.contains(u"data.dat"_s))
        QCOMPARE(readFile(u"data.dat"_s), "old data"_ba);
    QCOMPARE(readFile(u"helloworld.txt"_s), "installed"_ba);
    // Without the archiver nothing at all happens, not even to "UP00".
    QCOMPARE(QFileInfo::exists(u"UP00/before.dat"_s), !archiver);

    const QStringList lines = viewLines(*dialog);
    if (!archiver)
        QCOMPARE(lines.size(), 1);
    if (box == "RarErr") {
        // What was unpacked before the damage stays in "UP00" and is not installed.
        QVERIFY(QFileInfo::exists(u"UP00/test1.bin"_s) && !QFileInfo::exists(u"test1.bin"_s));
        QCOMPARE(lines.mid(2, 4),
            (QStringList{u"darkBlue: "_s + shown("obrSait") + u" 'Main server'"_s,
                u"green: "_s + shown("Fload"), u"red: "_s + shown("RarErr"), u"red: "_s + shown("StopP")}));
        // The box names the archiver's reason, as the last red line does.
        QCOMPARE(boxes.last(), Catalog::displayText(box) + u'\n' + lines.last().mid(5));
    }
    const QList<QByteArray> log = readFile(u"00000.log"_s).split('\n');
    if (!lastLogLine.isEmpty())
        QCOMPARE(log.value(log.size() - 2), lastLogLine);
}

void TestUpdater::againAfterFailure()
{
    pointSiteAt(0, m_down.url());
    pointSiteAt(1, m_down.url());
    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    QVERIFY(writeFile(u"UP00/stale.dat"_s, "left over", newerTime));
    QVERIFY(writeFile(u"UP00/sub/stale.dat"_s, "left over", newerTime));
    runUpdate(*dialog);
    QCOMPARE(recordedTexts(), (QStringList{Catalog::displayText("NoInf"), Catalog::displayText("NoInf")}));
    QCOMPARE(filesIn(u"UP00"_s), QStringList());
    QCOMPARE(filesIn(u"UP00/sub"_s), QStringList());
    QCOMPARE(viewLines(*dialog).filter(u"magenta: "_s).size(), 2);
}

void TestUpdater::eightBitNames_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("arrived"); // the file the update brought, under its Unicode name
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("redLines");

    // "Тест" in code page 866 (what archivers on Windows store) and 1251.
    const QByteArray cp866 = "\x92\xa5\xe1\xe2";
    const QByteArray cp1251 = "\xd2\xe5\xf1\xf2";
    const QString test = u"Тест"_s;
    QTest::newRow("tar") << TestArchives::tar({{cp1251 + ".dat", "tar"}}) << test + u".dat"_s << "tar"_ba
                         << QStringList();
    QTest::newRow("zip") << TestArchives::zip({{cp866 + ".dat", "zip"}}, false) << test + u".dat"_s
                         << "zip"_ba << QStringList();
    // Without its symbolic link, which the archiver does not make on Windows.
    QTest::newRow("RAR4") << TestArchives::renamedRar4(
        TestArchives::withoutRar4Entry(
            readFile(TestPaths::sharedDir() + u"/fixtures/rar/test_read_format_rar.rar"_s), "testlink"),
        "test.txt", cp866 + ".txt", false)
                          << test + u".txt"_s << "test text document\r\n"_ba << QStringList();
    // The archiver gives it its name; the program's code page has no letters for it.
    QTest::newRow("7z, a name outside code page 1251 is reported and left")
        << TestArchives::sevenZip({{u"Тест.dat"_s.toUtf8(), "7z"}, {u"日本.dat"_s.toUtf8(), "7z"}})
        << test + u".dat"_s << "7z"_ba << QStringList{u"red: %1 \\xe6\\x97\\xa5\\xe6\\x9c\\xac.dat"_s};
}

void TestUpdater::eightBitNames()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, arrived);
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, redLines);

    QVERIFY(!archive.isEmpty());
    QVERIFY(m_sites[0]->putFile(u"ko10.rar"_s, archive));
    QVERIFY(QDir().mkdir(u"testdir"_s));
    // Left over by an earlier update: a name in code page 1251, not UTF-8, removed by its bytes.
    const std::filesystem::path leftOver(std::string("UP00/\xcf\xf0.dat"));
    QVERIFY(QDir().mkdir(u"UP00"_s));
    std::ofstream(leftOver) << "old";
    QVERIFY(std::filesystem::exists(leftOver));

    // Installed before, so that it goes through the backup (a list of UTF-8 names) and back.
    QVERIFY(writeFile(arrived, "installed", QDateTime::fromSecsSinceEpoch(946'684'800)));

    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!std::filesystem::exists(leftOver));
    QCOMPARE(readFile(arrived), contents);
    QCOMPARE(recordedTexts().value(recordedTexts().size() - 1), Catalog::displayText("IsNew"));
    QCOMPARE(viewLines(*dialog).filter(u"red: "_s), redLines.replaceInStrings(u"%1"_s, shown("NameErr")));
    // What could not be installed stays for the next "New", which clears it.
    runUpdate(*dialog);
    QCOMPARE(recordedTexts().value(recordedTexts().size() - 1), Catalog::displayText("ActIs"));
    dialog->findChild<QPushButton *>(u"ReBak"_s)->click();
    QCOMPARE(recordedTexts().value(recordedTexts().size() - 1), Catalog::displayText("ReBakIs"));
    QCOMPARE(readFile(arrived), "installed"_ba);
}

void TestUpdater::archiveCannotBeCreated()
{
    // A directory where the download would be written, which emptying "UP00" leaves in place.
    QVERIFY(QDir().mkpath(u"UP00/.ko10.rar.part"_s));
    const qsizetype commandsBefore = m_sites[0]->server().commands().size();
    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    const QString line = viewLines(*dialog).last();
    QVERIFY2(line.startsWith(
                 u"red: Error: Cannot create file "_s + QDir::toNativeSeparators(u"UP00/ko10.rar: "_s)),
        qPrintable(line));
    // The box says what the line says.
    QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("ErrCreat") + u'\n' + line.mid(5)});
    // Nothing was asked of the site, not even the connection.
    QCOMPARE(m_sites[0]->server().commands().size(), commandsBefore);
}

void TestUpdater::localFaults_data()
{
    QTest::addColumn<int>("diskKiB"); // a file system of that size as "UP00"
    QTest::addColumn<int>("updateKiB"); // the size of the new "data.dat", random bytes
    QTest::addColumn<QString>("failure"); // "download", "unpack", "rename"
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("redLine"); // the last red line begins so

    // The archive does not fit.
    QTest::newRow("UP00 full during the download") << 128 << 400 << u"download"_s << "ErrCreat"_ba
                                                   << u"Error: Cannot write file "_s
            + QDir::toNativeSeparators(u"UP00/.ko10.rar.part"_s) + u": "_s + SizedFileSystem::fullText();
    // The archive fits, its contents beside it do not.
    QTest::newRow("UP00 full during the unpack")
        << 640 << 400 << u"unpack"_s << "RarErr"_ba << archiverName() + u" ended with exit code 5"_s;
    // The archive's name is taken by a directory: the whole download cannot take it.
    QTest::newRow("the downloaded archive cannot take its name") << 0 << 4 << u"rename"_s << "ErrCreat"_ba
                                                                 << u"Error: Cannot create file "_s
            + QDir::toNativeSeparators(u"UP00/ko10.rar from UP00/.ko10.rar.part: "_s);
}

// A fault of this side is no fault of the site: no second site is asked, no "NoInf" blames the
// connection; the view and the box name the cause; nothing installed changes and nothing the run
// wrote stays behind.
void TestUpdater::localFaults()
{
    QFETCH(int, diskKiB);
    QFETCH(int, updateKiB);
    QFETCH(QString, failure);
    QFETCH(QByteArray, box);
    QFETCH(QString, redLine);

    SizedFileSystem disk;
    if (diskKiB > 0)
        SKIP_UNLESS_MOUNTED(disk, m_installation->filePath(u"UP00"_s), qint64(diskKiB) * 1024);
    if (failure == u"rename"_s)
        QVERIFY(QDir().mkpath(u"UP00/ko10.rar"_s));
    for (int site = 0; site < 2; ++site)
        QVERIFY(m_sites[site]->putArchive(
            u"ko10.rar"_s, {{u"data.dat"_s, randomBytes(qsizetype(updateKiB) * 1024), newerTime}}));
    const qsizetype commandsBefore = m_sites[1]->server().commands().size();

    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;

    const QStringList lines = viewLines(*dialog);
    const QStringList red = lines.filter(QRegularExpression(u"^red: "_s));
    QVERIFY2(!red.isEmpty() && red.last().startsWith(u"red: "_s + redLine), qPrintable(lines.join(u'\n')));
    if (diskKiB > 0)
        QVERIFY2(SizedFileSystem::mentionsFull(red.last()), qPrintable(red.last()));
    QCOMPARE(lines.filter(u"darkBlue: "_s).size(), 1);
    QVERIFY(!lines.contains(u"red: "_s + shown("NoInf")));
    QCOMPARE(m_sites[1]->server().commands().size(), commandsBefore);
    QCOMPARE(recordedTexts(), QStringList{Catalog::displayText(box) + u'\n' + red.last().mid(5)});

    QCOMPARE(readFile(u"data.dat"_s), "old data"_ba);
    QVERIFY(!QFileInfo::exists(u"predver.rar"_s));
    // The space the run took is given back.
    if (diskKiB > 0) {
        QCOMPARE(filesIn(u"UP00"_s), QStringList());
        QCOMPARE(disk.bytesUsed(), 0);
    } else {
        QCOMPARE(filesIn(u"UP00"_s), QStringList());
    }
}

void TestUpdater::installationFull_data()
{
    QTest::addColumn<bool>("replacesInstalled"); // the update replaces data.dat, or brings fresh.dat
    QTest::addColumn<QByteArray>("box");

    // data.dat must be backed up first, and the backup does not fit.
    QTest::newRow("full during the backup") << true << "NePer"_ba;
    // A new file needs no backup and its move no space; the log's line does not fit.
    QTest::newRow("full during the replacement and the update log") << false << "LogErr"_ba;
}

// The installation on a disk that fills up (another program, say) once the update has been
// downloaded and unpacked, just before it is installed.
void TestUpdater::installationFull()
{
    QFETCH(bool, replacesInstalled);
    QFETCH(QByteArray, box);

    SizedFileSystem disk;
    const QString installation = m_installation->filePath(u"installation"_s);
    SKIP_UNLESS_MOUNTED(disk, installation, 8 * 1024 * 1024);
    QVERIFY(QFile::copy(archiverName(), installation + u'/' + archiverName()));
    QVERIFY(QDir::setCurrent(installation));
    // Larger than what the backup has room for.
    const QByteArray oldData = randomBytes(64 * 1024);
    QVERIFY(writeFile(u"data.dat"_s, oldData, installedTime));
    QVERIFY(writeFile(u"same.dat"_s, "unchanged", installedTime));
    // A backup from an earlier update, which must stay whole.
    QProcess rar;
    rar.start(Archiver::programPath(), {u"a"_s, u"-idcpdq"_s, u"predver"_s, u"same.dat"_s});
    QVERIFY(rar.waitForFinished() && rar.exitCode() == 0);
    const QByteArray backup = readFile(u"predver.rar"_s);
    const QString fresh = replacesInstalled ? u"data.dat"_s : u"fresh.dat"_s;
    QVERIFY(m_sites[0]->putArchive(u"ko10.rar"_s, {{fresh, "new data", newerTime}}));
    m_beforeAnswer = [] {
        // The log must grow onto a new page of the disk for its next line.
        QFile log(u"00000.log"_s);
        QVERIFY(log.open(QIODevice::Append));
        const qint64 room = 4096 - log.size() % 4096;
        QVERIFY(log.write('#' + QByteArray(room - 2, '=') + '\n') == room);
        log.close();
        fillDisk(u"ballast"_s);
    };

    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;

    const QStringList red = viewLines(*dialog).filter(QRegularExpression(u"^red: "_s));
    QVERIFY2(!red.isEmpty() && SizedFileSystem::mentionsFull(red.last()), qPrintable(red.join(u'\n')));
    QVERIFY(!red.contains(u"red: "_s + shown("NoInf")));
    // The box of the step that met the full disk names the cause.
    const QStringList boxes = recordedTexts();
    const qsizetype named = std::count_if(boxes.begin(), boxes.end(), [&](const QString &text) {
        return text.startsWith(Catalog::displayText(box) + u'\n') && SizedFileSystem::mentionsFull(text);
    });
    QVERIFY2(named == 1, qPrintable(boxes.join(u'|')));
    // What was installed stays old, or is the new file whole; the backup is the earlier one.
    QCOMPARE(readFile(u"data.dat"_s), oldData);
    if (!replacesInstalled)
        QCOMPARE(readFile(u"fresh.dat"_s), "new data"_ba);
    QCOMPARE(readFile(u"predver.rar"_s), backup);
    QVERIFY(QFile::remove(u"ballast"_s));
    QStringList left = filesIn(u"."_s);
    left.removeAll(u"00000.log"_s);
    left.removeAll(u"taw.tax"_s);
    left.removeAll(u"tavup.lck"_s); // the open window holds it
    QCOMPARE(left,
        (replacesInstalled ? QStringList{u"data.dat"_s, u"predver.rar"_s, archiverName(), u"same.dat"_s}
                           : QStringList{u"data.dat"_s, u"fresh.dat"_s, u"predver.rar"_s, archiverName(),
                               u"same.dat"_s}));
}

void TestUpdater::stalledSiteIsLeft()
{
    // The first site sends a little of the archive and then nothing, without closing.
    UpdateSiteServer stalled(u"tavsite0"_s, u"secret-0"_s);
    stalled.server().setStallAfter(1000);
    START_FTP_SERVER(stalled);
    QVERIFY(stalled.putArchive(u"ko10.rar"_s, {{u"data.dat"_s, QByteArray(100000, 's'), newerTime}}));
    pointSiteAt(0, stalled.url());
    auto dialog = openDialog();
    QVERIFY(dialog);
    dialog->ftp().setTransferTimeout(std::chrono::seconds(1));
    runUpdate(*dialog);
    QCOMPARE(readFile(u"data.dat"_s), "new data 1"_ba);
    const QStringList lines = viewLines(*dialog);
    QCOMPARE(lines.filter(u"darkBlue: "_s).size(), 2);
    QCOMPARE(lines.filter(u"red: Error: "_s).size(), 1);
}

void TestUpdater::secondNewWhileDownloading()
{
    // A site that lets the user in and then says nothing more.
    FtpTestServer silent;
    silent.addUser(u"tavsite0"_s, u"secret-0"_s, m_installation->path());
    silent.setStallAfterLogin(true);
    START_FTP_SERVER(silent);
    pointSiteAt(0, silent.url());
    QVERIFY(writeFile(u"UP00/before.dat"_s, "x", newerTime));

    auto dialog = openDialog();
    QVERIFY(dialog);
    auto *button = dialog->findChild<QPushButton *>(u"New"_s);
    button->click();
    QTRY_VERIFY(silent.commands().contains(u"USER tavsite0"_s));
    QVERIFY(dialog->isRunning());
    QVERIFY(!dialog->progressBar()->isHidden());
    QVERIFY(writeFile(u"UP00/during.dat"_s, "x", newerTime));

    button->click();
    QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("UpBusy")});
    QVERIFY(dialog->isRunning());
    // The run that goes on keeps its directory, and only one attempt was started.
    QCOMPARE(filesIn(u"UP00"_s).filter(u".dat"_s), QStringList{u"during.dat"_s});
    QCOMPARE(viewLines(*dialog).filter(u"magenta: "_s).size(), 1);
    QCOMPARE(viewLines(*dialog).filter(u"darkBlue: "_s).size(), 1);
    // Closing the window ends the download; nothing of it is left under the archive's name.
    dialog.reset();
    QVERIFY(!QFileInfo::exists(u"UP00/ko10.rar"_s));
}

void TestUpdater::inputWhileUnpackingIsDropped()
{
    // An archiver that takes its time before it unpacks.
    QVERIFY(StandInProgram::write(archiverName(), {u"sleep 1000"_s, u"run "_s + builtArchiver()}));
    auto dialog = openDialog();
    QVERIFY(dialog);
    auto *button = dialog->findChild<QPushButton *>(u"New"_s);

    bool busyShown = false;
    QTimer clicker;
    clicker.setInterval(100);
    connect(&clicker, &QTimer::timeout, this, [&] {
        if (dialog->cursor().shape() != Qt::BusyCursor)
            return;
        busyShown = dialog->progressBar()->isVisible() && dialog->progressBar()->maximum() == 0;
        // Delivered at once, the way the display hands over a click.
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(button, Qt::Key_Space);
        clicker.stop();
    });
    clicker.start();
    runUpdate(*dialog);
    QVERIFY(busyShown);
    QVERIFY(!clicker.isActive());
    // Neither the click nor the key started anything, nor were they refused: they never arrived.
    QVERIFY2(
        !recordedTexts().contains(Catalog::displayText("UpBusy")), qPrintable(recordedTexts().join(u'|')));
    QCOMPARE(viewLines(*dialog).filter(u"magenta: "_s).size(), 1);
    QCOMPARE(readFile(u"data.dat"_s), "new data 0"_ba);
    QCOMPARE(dialog->cursor().shape(), Qt::ArrowCursor);
}

// What a site serves beside its archive.
enum class Served { Nothing, Good, Legacy, OtherKey, Tampered, CommentEdited, Truncated, Garbage, Huge };

void TestUpdater::signedUpdates_data()
{
    QTest::addColumn<bool>("keySet");
    QTest::addColumn<Served>("site0");
    QTest::addColumn<Served>("site1");
    QTest::addColumn<QByteArrayList>("refusals"); // the catalog keys of the red lines, in order
    QTest::addColumn<int>("served"); // the site whose update was installed, -1 for none

    QTest::newRow("no key: no signature asked for")
        << false << Served::Nothing << Served::Nothing << QByteArrayList() << 0;
    QTest::newRow("good") << true << Served::Good << Served::Nothing << QByteArrayList() << 0;
    QTest::newRow("legacy") << true << Served::Legacy << Served::Nothing << QByteArrayList() << 0;
    QTest::newRow("missing, the second site's good")
        << true << Served::Nothing << Served::Good << QByteArrayList{"SigNo"} << 1;
    QTest::newRow("archive changed by one byte, the second site's good")
        << true << Served::Tampered << Served::Good << QByteArrayList{"SigBad"} << 1;
    QTest::newRow("another key, then trusted comment edited")
        << true << Served::OtherKey << Served::CommentEdited << QByteArrayList{"SigKey", "SigCom"} << -1;
    QTest::newRow("truncated, then garbage")
        << true << Served::Truncated << Served::Garbage << QByteArrayList{"SigForm", "SigForm"} << -1;
    QTest::newRow("far too large, then missing")
        << true << Served::Huge << Served::Nothing << QByteArrayList{"SigForm", "SigNo"} << -1;
}

void TestUpdater::signedUpdates()
{
    QFETCH(bool, keySet);
    QFETCH(Served, site0);
    QFETCH(Served, site1);
    QFETCH(QByteArrayList, refusals);
    QFETCH(int, served);

    MinisignTool minisign;
    if (!minisign.isAvailable())
        QSKIP("minisign is needed (scripts/install-deps installs it)");
    QVERIFY(minisign.makeKey(u"maker"_s) && minisign.makeKey(u"other"_s));
    if (keySet)
        UpdateSignature::setPublicKey(minisign.publicKey(u"maker"_s));
    const std::array<Served, 2> servedBy{site0, site1};
    for (int site = 0; site < 2; ++site) {
        UpdateSiteServer &server = *m_sites[site];
        const QString archive = server.filePath(u"ko10.rar"_s);
        const QString signature = archive + u".minisig"_s;
        QFile::remove(signature);
        const Served what = servedBy[site];
        if (what == Served::Nothing)
            continue;
        const QString key = what == Served::OtherKey ? u"other"_s : u"maker"_s;
        QVERIFY2(minisign.sign(key, archive, u"update 10 of site %1"_s.arg(site), what == Served::Legacy),
            qPrintable(minisign.lastError()));
        QByteArray bytes = readFile(signature);
        if (what == Served::Tampered) {
            QByteArray changed = readFile(archive);
            changed[changed.size() / 2] = char(changed[changed.size() / 2] ^ 0x20);
            QVERIFY(server.putFile(u"ko10.rar"_s, changed));
        } else if (what == Served::CommentEdited) {
            bytes.replace("update 10", "update 99");
        } else if (what == Served::Truncated) {
            bytes.truncate(bytes.size() / 2);
        } else if (what == Served::Garbage) {
            bytes = "<html>not a signature</html>\n";
        } else if (what == Served::Huge) {
            bytes += QByteArray(1024 * 1024, 'x');
        }
        QVERIFY(server.putFile(u"ko10.rar.minisig"_s, bytes));
    }
    const qsizetype commandsBefore = m_sites[0]->server().commands().size();

    auto dialog = openDialog();
    QVERIFY(dialog);
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;

    const QStringList lines = viewLines(*dialog);
    // A missing signature gives the site's reason; the verifier's refusals are the catalog's
    // text alone, without its English explanation.
    QStringList red;
    for (const QByteArray &key : std::as_const(refusals))
        red << u"red: "_s + shown(key.constData()) + (key == "SigNo" ? u": "_s : QString());
    // Every red line but the transfer's errors and the final "NoInf" says what the signature lacked.
    QStringList refused;
    for (const QString &line : lines) {
        if (line.startsWith(u"red: "_s) && !line.startsWith(u"red: Error "_s)
            && line != u"red: "_s + shown("NoInf"))
            refused << line;
    }
    QCOMPARE(refused.size(), red.size());
    for (qsizetype i = 0; i < red.size(); ++i)
        QVERIFY2(
            red.at(i).endsWith(u": "_s) ? refused.at(i).startsWith(red.at(i)) : refused.at(i) == red.at(i),
            qPrintable(refused.at(i)));
    const QStringList asked = m_sites[0]->server().commands().mid(commandsBefore);
    // libcurl asks for the size first and stops there when the file is missing.
    QCOMPARE(asked.contains(u"SIZE ko10.rar.minisig"_s), keySet);
    const QByteArray log = readFile(u"00000.log"_s);
    if (served < 0) {
        QCOMPARE(lines.last(), u"red: "_s + shown("NoInf"));
        QCOMPARE(readFile(u"data.dat"_s), "old data"_ba);
        // Neither the refused archive nor anything of it is left.
        QCOMPARE(filesIn(u"UP00"_s), QStringList());
        for (const QString &start : std::as_const(red))
            QVERIFY2(log.contains(CodePage::fromUnicode(start.mid(5))), log.constData());
        return;
    }
    QCOMPARE(readFile(u"data.dat"_s), "new data "_ba + QByteArray::number(served));
    if (keySet) {
        const QString verified = u"green: "_s + shown("SigOk") + u" update 10 of site %1"_s.arg(served);
        QVERIFY2(lines.contains(verified), qPrintable(lines.join(u'\n')));
        QCOMPARE(lines.at(lines.indexOf(verified) + 1), u"green: "_s + shown("RarSus"));
        QVERIFY2(log.contains(Catalog::text("SigOk").value_or("") + " update 10 of site "), log.constData());
    } else {
        QVERIFY(lines.filter(shown("SigOk")).isEmpty());
    }
}

void TestUpdater::closingDuringRun_data()
{
    QTest::addColumn<QString>("stage");

    for (const char *stage : {"download", "unpack", "backup", "after the backup", "upload"})
        QTest::newRow(stage) << QString::fromLatin1(stage);
}

// Closing the window (the title bar's button, Alt+F4 and "ReMain" all close it) at any stage of a
// run is refused with a line in the log view, and so are "InfUp" and "ReBak"; the run goes on to
// its end, and then the window closes.
void TestUpdater::closingDuringRun()
{
    QFETCH(QString, stage);

    // A slow site, so that the download and the upload take a moment; a slow archiver for its steps.
    UpdateSiteServer slow(u"tavsite0"_s, u"secret-0"_s);
    slow.server().setRateLimit(400'000);
    START_FTP_SERVER(slow);
    QList<UpdateFile> files{{u"data.dat"_s, "new data 0", newerTime}};
    if (stage == u"download")
        files << UpdateFile{u"large.dat"_s, QByteArray(600'000, 'l'), newerTime};
    QVERIFY(slow.putArchive(u"ko10.rar"_s, files));
    pointSiteAt(0, slow.url());
    if (stage == u"upload")
        QVERIFY(writeFile(u"00000.log"_s, QByteArray(1'200'000, '-') + '\n', installedTime));
    QTemporaryDir marks;
    // It leaves "x", "a" when it starts such a command and "x-done", "a-done" when it has run it.
    QVERIFY(QFile::remove(archiverName()));
    const QString mark = marks.filePath(u"{1}"_s);
    QVERIFY(StandInProgram::write(archiverName(),
        {u"touch "_s + mark, u"sleep 400"_s, u"run "_s + builtArchiver(), u"touch "_s + mark + u"-done"_s,
            u"sleep 400"_s}));
    // A backup marker, so that "ReBak" is enabled.
    QVERIFY(QDir().mkdir(u"BK00"_s));

    auto dialog = openDialog();
    QVERIFY(dialog);
    const auto reached = [&] {
        if (stage == u"download")
            return QFileInfo::exists(u"UP00/.ko10.rar.part"_s);
        if (stage == u"upload")
            return recordedTexts().contains(Catalog::displayText("IsNew"));
        const QString mark = stage == u"unpack" ? u"x"_s : stage == u"backup" ? u"a"_s : u"a-done"_s;
        return QFileInfo::exists(marks.filePath(mark));
    };
    bool tried = false;
    bool closed = true;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (tried || !reached())
            return;
        tried = true;
        QVERIFY(dialog->isRunning());
        closed = dialog->close();
        dialog->findChild<QPushButton *>(u"InfUp"_s)->click();
        dialog->findChild<QPushButton *>(u"ReBak"_s)->click();
    });
    poll.start(5);
    runUpdate(*dialog);
    QVERIFY(tried);
    QVERIFY(!closed);
    QVERIFY(dialog->isVisible());

    // The run went on to its end: installed, and the whole log on the site.
    QCOMPARE(readFile(u"data.dat"_s), "new data 0"_ba);
    QCOMPARE(slow.uploadedLog(u"00000.log"_s), readFile(u"00000.log"_s));
    QCOMPARE(filesIn(u"UP00"_s).filter(u".part"_s), QStringList());
    const QStringList lines = viewLines(*dialog);
    QCOMPARE(lines.filter(shown("UpClose")), QStringList{u"red: "_s + shown("UpClose")});
    // The line between the steps does not colour the line after it that keeps its step's colour.
    QVERIFY2(lines.contains(u"green: "_s + shown("RarSus")), qPrintable(lines.join(u'\n')));
    // The history did not replace the protocol of the run.
    QCOMPARE(lines.first(), u"blue: "_s + shown("ProtLi"));
    QCOMPARE(lines.filter(u"blue: "_s).size(), 1);
    QCOMPARE(recordedTexts().count(Catalog::displayText("UpBusy")), 2);
    QVERIFY(QFileInfo(u"BK00"_s).isDir());
    // Once the run has ended the window closes.
    QVERIFY(dialog->close());
    QVERIFY(!dialog->isVisible());
}

void TestUpdater::oneUpdaterPerInstallation_data()
{
    QTest::addColumn<QString>("holder");
    QTest::addColumn<bool>("opens");

    QTest::newRow("another window of this process") << u"window"_s << false;
    QTest::newRow("another process") << u"process"_s << false;
    QTest::newRow("a process that was killed") << u"killed"_s << true;
    QTest::newRow("a window that has gone") << u"gone"_s << true;
}

// A second updater in the same installation says so in a box and ends without changing anything;
// the lock goes with its holder, a killed one too.
void TestUpdater::oneUpdaterPerInstallation()
{
    QFETCH(QString, holder);
    QFETCH(bool, opens);

    std::unique_ptr<TUp> first;
    QProcess other;
    QTemporaryDir marks;
    if (holder == u"window" || holder == u"gone") {
        first = openDialog();
        QVERIFY(first);
        if (holder == u"gone")
            first.reset();
    } else {
        const QString held = marks.filePath(u"held"_s);
        other.start(QCoreApplication::applicationFilePath(), {u"--hold-lock"_s, held});
        QTRY_VERIFY(QFileInfo::exists(held));
        if (holder == u"killed") {
            other.kill();
            QVERIFY(other.waitForFinished());
        }
    }
    QStringList before = QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QByteArray log = readFile(u"taw.tax"_s);

    std::unique_ptr<QWidget> second = Modes::startUpdaterDialog("10", "1.0", "kora10.exe");
    QCOMPARE(bool(second), opens);
    if (opens) {
        QVERIFY(recordedTexts().isEmpty());
        QVERIFY(QFileInfo::exists(u"tavup.lck"_s));
        second.reset();
        // A normal end leaves no lock behind.
        QVERIFY(!QFileInfo::exists(u"tavup.lck"_s));
        return;
    }
    QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("UpLock")});
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    QCOMPARE(readFile(u"taw.tax"_s), log);
    other.kill();
    other.waitForFinished();
}

void TestUpdater::updateNameLeadingOutside_data()
{
    QTest::addColumn<QByteArray>("updateFile");

    QTest::newRow("parent directory") << "../ko10.rar"_ba;
    QTest::newRow("subdirectory") << "sub/ko10.rar"_ba;
    QTest::newRow("backslash") << "..\\ko10.rar"_ba;
    QTest::newRow("a number with two dots") << ".."_ba;
    QTest::newRow("a drive") << "C:ko10.rar"_ba;
}

// An update name that could put the archive outside "UP00", or fetch it from outside "/UPDATE", is
// refused before anything happens.
void TestUpdater::updateNameLeadingOutside()
{
    QFETCH(QByteArray, updateFile);

    std::unique_ptr<QWidget> window = Modes::startUpdaterDialog(updateFile, "1.0", "kora10.exe");
    auto *dialog = qobject_cast<TUp *>(window.get());
    QVERIFY(dialog);
    const qsizetype commandsBefore = m_sites[0]->server().commands().size();
    runUpdate(*dialog);
    QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("BadUF")});
    QCOMPARE(viewLines(*dialog).last(),
        u"red: "_s + shown("BadUF") + u" '"_s + QString::fromLatin1(dialog->archiveName()) + u'\'');
    QVERIFY(!QFileInfo::exists(u"UP00"_s));
    QCOMPARE(m_sites[0]->server().commands().size(), commandsBefore);
    QCOMPARE(readFile(u"data.dat"_s), "old data"_ba);
}

void TestUpdater::resumedDownload_data()
{
    QTest::addColumn<bool>("nextNew"); // false: the second site of the run continues
    QTest::addColumn<bool>("sameFile"); // the site that continues serves the file that was cut
    QTest::addColumn<bool>("keySet");

    QTest::newRow("the second site continues") << false << true << false;
    QTest::newRow("the second site continues, signed") << false << true << true;
    QTest::newRow("the second site's archive is another: from the start") << false << false << false;
    QTest::newRow("the next New continues, signed") << true << true << true;
}

void TestUpdater::resumedDownload()
{
    QFETCH(bool, nextNew);
    QFETCH(bool, sameFile);
    QFETCH(bool, keySet);

    // Incompressible, so that the archive is larger than the cut.
    QByteArray payload(400 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(payload.data()), payload.size() / 4);
    const QList<UpdateFile> files{
        {u"data.dat"_s, "new data 1", newerTime}, {u"big.dat"_s, payload, newerTime}};
    // The site that cuts every transfer short serves the same archive, of the same time.
    UpdateSiteServer cutting(u"tavsite0"_s, u"secret-0"_s);
    cutting.server().setDropAfter(100 * 1024);
    START_FTP_SERVER(cutting);
    UpdateSiteServer &whole = *m_sites[nextNew ? 0 : 1];
    QVERIFY(whole.putArchive(u"ko10.rar"_s, files) && cutting.putArchive(u"ko10.rar"_s, files));
    const QDateTime uploaded = QDateTime::currentDateTime().addDays(-1);
    for (UpdateSiteServer *site : {&cutting, &whole}) {
        QFile archive(site->filePath(u"ko10.rar"_s));
        const QDateTime time = site == &whole && !sameFile ? uploaded.addSecs(60) : uploaded;
        QVERIFY(archive.open(QIODevice::ReadWrite)
            && archive.setFileTime(time, QFileDevice::FileModificationTime));
    }
    if (!sameFile)
        QVERIFY(
            whole.putArchive(u"ko10.rar"_s, files + QList<UpdateFile>{{u"more.dat"_s, "more", newerTime}}));
    MinisignTool minisign;
    if (keySet) {
        if (!minisign.isAvailable())
            QSKIP("minisign is needed (scripts/install-deps installs it)");
        QVERIFY(minisign.makeKey(u"maker"_s));
        QVERIFY(minisign.sign(u"maker"_s, whole.filePath(u"ko10.rar"_s), u"update 10"_s));
        UpdateSignature::setPublicKey(minisign.publicKey(u"maker"_s));
    }
    pointSiteAt(0, cutting.url());
    const QByteArray archiveBytes = readFile(whole.filePath(u"ko10.rar"_s));

    auto dialog = openDialog();
    QVERIFY(dialog);
    if (nextNew) {
        // The first site alone, which cuts; then the same site whole.
        dialog->findChild<QComboBox *>(u"Vib"_s)->setCurrentIndex(1);
        runUpdate(*dialog);
        QCOMPARE(recordedTexts(), QStringList{Catalog::displayText("NoInf")});
        QVERIFY(QFileInfo(u"UP00/.ko10.rar.part"_s).size() > 0);
        pointSiteAt(0, whole.url());
    }
    const qsizetype before = whole.server().commands().size();
    runUpdate(*dialog);
    if (QTest::currentTestFailed())
        return;

    const QStringList rests = whole.server().commands().mid(before).filter(u"REST "_s);
    const bool continued
        = std::any_of(rests.cbegin(), rests.cend(), [](const QString &rest) { return rest != u"REST 0"_s; });
    QCOMPARE(continued, sameFile);
    // The archive arrived whole, was unpacked and installed; nothing of the download is left.
    QCOMPARE(readFile(u"UP00/ko10.rar"_s), archiveBytes);
    QCOMPARE(readFile(u"big.dat"_s), payload);
    QCOMPARE(readFile(u"data.dat"_s), "new data 1"_ba);
    QCOMPARE(filesIn(u"UP00"_s).filter(u".ko10.rar"_s), QStringList());
    QCOMPARE(viewLines(*dialog).filter(shown("SigOk")).size(), keySet ? 1 : 0);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 3 && qstrcmp(argv[1], "--hold-lock") == 0)
        return holdUpdaterLock(QString::fromLocal8Bit(argv[2]));
    TestUpdater test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_updater.moc"
