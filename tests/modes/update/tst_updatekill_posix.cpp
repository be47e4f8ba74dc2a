// An update of a few hundred files killed (SIGKILL, the archiver it runs with it, as a power cut
// would) at many moments of its download, unpack, backup, replacement and log upload. After each
// kill every installed file holds its old or its new version byte for byte, "tav" is there, the
// backup extracts and holds the old version of every file already replaced, and nothing is left
// that a whole run would not leave; the next "New" completes the update and "ReBak" brings the
// old versions back.
//
// The updater window runs in a child process of this program ("--updater DIR URL BUTTON"), the
// same window tav shows, offscreen, with its boxes recorded and the confirmation accepted, so that
// it can be killed whole at a chosen moment. A first run, watched through the installation, gives
// each stage's time span; the kill moments are spread over every span.

#include "common/updatesiteserver.h"
#include "modes/modeentries.h"
#include "modes/update/tup.h"
#include "modes/update/updateconfirmation.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <csignal>
#include <map>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int fileCount = 300;
constexpr int killsPerStage = 10;
constexpr int moveDelayMs = 3;
// The kill runs meet slow links, so that the download and the upload last long enough to be cut
// many times: one site sends the update slowly, another takes the log slowly.
constexpr qint64 slowDownload = 128 * 1024;
constexpr qint64 slowUpload = 100 * 1024;
const QDateTime installedTime = QDateTime::fromSecsSinceEpoch(1'600'000'000);
const QDateTime newerTime = installedTime.addSecs(86400);
const QString archiveName = u"ko10.rar"_s;
const QString logName = u"00000.log"_s;

enum Stage { Download, Unpack, Backup, Replacement, Upload, Ended };
const std::array<const char *, 6> stageNames{"download", "unpack", "backup", "replacement", "upload", "end"};

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size()
        && file.flush() && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

// A fresh installation from the template: the files the updater only ever replaces are hard
// links (a move over one leaves the template alone), the update log it appends to is a copy.
bool copyTree(const QString &from, const QString &to, const QString &copied)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = QDir(from).relativeFilePath(source);
        const QString target = to + u'/' + relative;
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (relative == copied) {
            if (!writeFile(target, readFile(source), QFileInfo(source).lastModified()))
                return false;
        } else if (::link(QFile::encodeName(source).constData(), QFile::encodeName(target).constData())
            != 0) {
            return false;
        }
    }
    return true;
}

// The installation's files outside "UP00", relative.
QStringList listing(const QString &dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(dir).relativeFilePath(it.next());
        if (!name.startsWith(u"UP00/"_s))
            names << name;
    }
    names.sort();
    return names;
}

// The child: the updater window in dir, its sites pointed at url, the buttons pressed in turn.
int runUpdater(const QString &dir, const QString &url, const QStringList &buttons)
{
    if (!QDir::setCurrent(dir))
        return 3;
    Diagnostics::setRecording(true);
    Catalog::load(QStringLiteral(TAV_BIN_DIR "/tav.en.t"));
    for (int site = 0; site < 3; ++site)
        UpdateSites::setUpdateSite(site, {"secret", "tavsite", 21, url.toLatin1()});
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *confirmation = qobject_cast<UpdateConfirmation *>(QApplication::activeModalWidget()))
            confirmation->accept();
    });
    answer.start();
    std::unique_ptr<QWidget> window = Modes::startUpdaterDialog("10", "", "kora10.exe");
    auto *dialog = qobject_cast<TUp *>(window.get());
    if (!dialog)
        return 3;
    for (const QString &name : buttons) {
        auto *button = dialog->findChild<QPushButton *>(name);
        if (!button)
            return 3;
        button->click();
        QElapsedTimer waited;
        waited.start();
        while (dialog->isRunning() && waited.elapsed() < 60000)
            QTest::qWait(5);
    }
    for (const auto &box : Diagnostics::recordedBoxes())
        std::printf("box: %s\n", qPrintable(box.text));
    return 0;
}

} // namespace

class TestUpdateKill : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedAnywhere();

private:
    struct Child
    {
        std::unique_ptr<QProcess> process;
        QElapsedTimer clock;
    };
    // slowMoves stretches each move of the installation (a test build's hook), so that kills land
    // between the moves too.
    [[nodiscard]] Child startUpdater(
        const QString &dir, const QString &url, const QString &buttons, bool slowMoves = false) const;
    // Runs the updater to its end; false when it did not end well.
    bool runUpdater(const QString &dir, const QString &url, const QString &buttons, QByteArray *output) const;
    // Where a run in dir is, from what it has left on disk so far.
    [[nodiscard]] Stage stageOf(const QString &dir, const QProcess &process) const;
    void makeInstallation(const QString &dir) const;
    // Runs an update in a fresh installation and notes when each stage began (ms after the start).
    std::array<qint64, 6> watch(const QString &dir, const QString &url);
    // After a kill: each file old or new, the backup holds the old version of what was replaced,
    // nothing stray. Returns the files already replaced.
    void checkAfterKill(const QString &dir, const QString &where, int *replaced);

    // In memory where the system has it: the archiver syncs every file it writes, which on a disk
    // shared with other builds would cost most of the test's time, and a kill is not a power cut.
    QTemporaryDir m_work{QFileInfo(u"/dev/shm"_s).isWritable()
            ? u"/dev/shm/tst_updatekill-XXXXXX"_s
            : QDir::tempPath() + u"/tst_updatekill-XXXXXX"_s};
    QString m_template;
    std::map<QString, QByteArray> m_old;
    std::map<QString, QByteArray> m_new;
    qint64 m_historySize = 0;
    QStringList m_sample; // every tenth file, looked at to tell whether the replacement began
    std::unique_ptr<UpdateSiteServer> m_slowDown; // the kills in the download
    std::unique_ptr<UpdateSiteServer> m_slowUp; // the other kills
    std::unique_ptr<UpdateSiteServer> m_fast; // the runs that complete the update
    QStringList m_normalListing;
};

void TestUpdateKill::initTestCase()
{
    QVERIFY(m_work.isValid());
    // The files of the update: most in folders, and the updater's own program.
    QList<UpdateFile> update;
    for (int i = 0; i < fileCount; ++i) {
        const QString path = i == 0 ? u"tav"_s
            : i % 10 == 1           ? u"file%1.dat"_s.arg(i)
                                    : u"dir%1/file%2.dat"_s.arg(i % 10).arg(i);
        m_old[path] = "old " + path.toUtf8() + ' ' + randomBytes(200 + i % 50);
        m_new[path] = "new " + path.toUtf8() + ' ' + randomBytes(300 + i % 70);
        update.append({path, m_new[path], newerTime});
        if (i % 10 == 5)
            m_sample << path;
    }
    m_template = m_work.filePath(u"template"_s);
    QVERIFY(QDir().mkpath(m_template));
    for (const auto &[path, bytes] : m_old)
        QVERIFY(writeFile(m_template + u'/' + path, bytes, installedTime));
    QVERIFY(QFile::copy(QStringLiteral(TAV_BIN_DIR "/rar"), m_template + u"/rar"_s));
    // A long history, so that the upload of the log lasts long enough to be cut too.
    QByteArray history;
    while (history.size() < 250 * 1024)
        history += "#01.01.2020 10:00:00 New update\n- tav - 01.01.2020 10:00:00\n";
    QVERIFY(writeFile(m_template + u'/' + logName, history, installedTime));
    m_historySize = history.size();

    m_slowDown = std::make_unique<UpdateSiteServer>(u"tavsite"_s, u"secret"_s);
    m_slowDown->server().setRateLimit(slowDownload);
    m_slowUp = std::make_unique<UpdateSiteServer>(u"tavsite"_s, u"secret"_s);
    m_slowUp->server().setUploadRateLimit(slowUpload);
    m_fast = std::make_unique<UpdateSiteServer>(u"tavsite"_s, u"secret"_s);
    for (UpdateSiteServer *site : {m_slowDown.get(), m_slowUp.get(), m_fast.get()}) {
        START_FTP_SERVER(*site);
        QVERIFY2(site->putArchive(archiveName, update), qPrintable(site->lastError()));
    }
}

TestUpdateKill::Child TestUpdateKill::startUpdater(
    const QString &dir, const QString &url, const QString &buttons, bool slowMoves) const
{
    Child child;
    child.process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (slowMoves)
        environment.insert(u"TAV_TEST_MOVE_DELAY_MS"_s, QString::number(moveDelayMs));
    child.process->setProcessEnvironment(environment);
    // Its own process group, so that the kill takes the archiver along.
    child.process->setChildProcessModifier([] { ::setpgid(0, 0); });
    child.process->setProcessChannelMode(QProcess::MergedChannels);
    child.process->start(QCoreApplication::applicationFilePath(), {u"--updater"_s, dir, url, buttons});
    child.clock.start();
    return child;
}

bool TestUpdateKill::runUpdater(
    const QString &dir, const QString &url, const QString &buttons, QByteArray *output) const
{
    Child child = startUpdater(dir, url, buttons);
    const bool ended = child.process->waitForFinished(60000);
    *output = child.process->readAll();
    return ended && child.process->exitStatus() == QProcess::NormalExit && child.process->exitCode() == 0;
}

Stage TestUpdateKill::stageOf(const QString &dir, const QProcess &process) const
{
    if (process.state() == QProcess::NotRunning)
        return Ended;
    QFile log(dir + u'/' + logName);
    QByteArray written;
    if (log.open(QIODevice::ReadOnly) && log.seek(m_historySize))
        written = log.readAll();
    // The "+" date lines close the installation; the upload of the log follows.
    if (written.contains("\n+ "))
        return Upload;
    // A new file is longer than its old version.
    for (qsizetype i = 0; i < m_sample.size(); ++i) {
        if (QFileInfo(dir + u'/' + m_sample.at(i)).size() == m_new.at(m_sample.at(i)).size())
            return Replacement;
    }
    // The header of the check: then the confirmation and the backup.
    if (!written.isEmpty())
        return Backup;
    if (QFileInfo::exists(dir + u"/UP00/"_s + archiveName))
        return Unpack;
    return Download;
}

void TestUpdateKill::makeInstallation(const QString &dir) const
{
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(copyTree(m_template, dir, logName));
}

void TestUpdateKill::checkAfterKill(const QString &dir, const QString &where, int *replaced)
{
    QStringList fresh;
    for (const auto &[path, old] : m_old) {
        const QByteArray bytes = readFile(dir + u'/' + path);
        if (bytes == m_new.at(path))
            fresh << path;
        else
            QVERIFY2(bytes == old,
                qPrintable(
                    where + u": "_s + path + u" holds neither version (%1 bytes)"_s.arg(bytes.size())));
    }
    *replaced = int(fresh.size());
    fresh.removeAll(u"tav"_s); // never backed up
    if (!fresh.isEmpty()) {
        const QString restored = dir + u"/../restored"_s;
        QDir(restored).removeRecursively();
        QProcess rar;
        rar.setWorkingDirectory(dir);
        rar.start(dir + u"/rar"_s, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"predver.rar"_s, restored + u'/'});
        QVERIFY(rar.waitForFinished(30000));
        QVERIFY2(rar.exitStatus() == QProcess::NormalExit && rar.exitCode() == 0,
            qPrintable(where + u": the backup does not extract: "_s
                + QString::fromLocal8Bit(rar.readAllStandardError())));
        for (const QString &path : std::as_const(fresh))
            QVERIFY2(readFile(restored + u'/' + path) == m_old.at(path),
                qPrintable(where + u": the backup lacks the old "_s + path));
    }
    QStringList stray;
    for (const QString &name : listing(dir)) {
        // The lock of the killed run stays for the next start to take over.
        if (!m_normalListing.contains(name) && name != u"tavup.lck"_s)
            stray << name;
    }
    QVERIFY2(stray.isEmpty(), qPrintable(where + u": left behind: "_s + stray.join(u", "_s)));
}

std::array<qint64, 6> TestUpdateKill::watch(const QString &dir, const QString &url)
{
    std::array<qint64, 6> begins{};
    makeInstallation(dir);
    Child child = startUpdater(dir, url, u"New"_s, true);
    Stage stage = Download;
    while (stage != Ended) {
        child.process->waitForFinished(2);
        const Stage now = stageOf(dir, *child.process);
        for (int s = stage + 1; s <= now; ++s)
            begins[s] = child.clock.elapsed();
        stage = std::max(stage, now);
    }
    if (child.process->exitCode() != 0)
        qWarning("the watched run ended with %d: %s", child.process->exitCode(),
            child.process->readAll().constData());
    return begins;
}

void TestUpdateKill::killedAnywhere()
{
    // Whole runs, watched: when each stage begins, and what a run leaves.
    const std::array<qint64, 6> slowDown = watch(m_work.filePath(u"watched-down"_s), m_slowDown->url());
    const QString watched = m_work.filePath(u"watched"_s);
    const std::array<qint64, 6> slowUp = watch(watched, m_slowUp->url());
    for (const auto &[path, bytes] : m_new)
        QVERIFY2(readFile(watched + u'/' + path) == bytes, qPrintable(path));
    m_normalListing = listing(watched);
    qInfo("download: %lld ms to %lld ms on the slow download", slowDown[Download], slowDown[Unpack]);
    for (int s = Unpack; s < Ended; ++s)
        qInfo("%s: %lld ms to %lld ms on the slow upload", stageNames[s], slowUp[s], slowUp[s + 1]);

    std::array<int, 6> hits{};
    int kills = 0;
    int halfway = 0; // kills that left some files replaced and others not
    for (int s = Download; s < Ended; ++s) {
        const std::array<qint64, 6> &begins = s == Download ? slowDown : slowUp;
        const QString url = s == Download ? m_slowDown->url() : m_slowUp->url();
        for (int k = 0; k < killsPerStage; ++k) {
            // Timed from the moment the stage is seen to begin in this run.
            const qint64 after = (begins[s + 1] - begins[s]) * (2 * k + 1) / (2 * killsPerStage);
            const QString dir = m_work.filePath(u"kill%1-%2"_s.arg(s).arg(k));
            makeInstallation(dir);
            Child child = startUpdater(dir, url, u"New"_s, true);
            Stage reached = Download;
            qint64 seen = s == Download ? 0 : -1;
            while (child.process->state() != QProcess::NotRunning) {
                if (seen >= 0 && child.clock.elapsed() >= seen + after)
                    break;
                child.process->waitForFinished(1);
                reached = std::max(reached, stageOf(dir, *child.process));
                if (seen < 0 && reached >= s)
                    seen = child.clock.elapsed();
            }
            const qint64 at = child.clock.elapsed();
            if (child.process->state() != QProcess::NotRunning) {
                ::kill(-pid_t(child.process->processId()), SIGKILL);
                child.process->waitForFinished(10000);
            } else {
                reached = Ended;
            }
            ++hits[reached];
            ++kills;
            const QString where
                = u"killed at %1 ms (%2)"_s.arg(at).arg(QString::fromLatin1(stageNames[reached]));

            int replaced = 0;
            checkAfterKill(dir, where, &replaced);
            if (QTest::currentTestFailed())
                return;
            qInfo("%s: %d of %d files replaced", qPrintable(where), replaced, fileCount);
            if (replaced > 0 && replaced < fileCount)
                ++halfway;

            // The next start completes the update ...
            QByteArray output;
            QVERIFY2(runUpdater(dir, m_fast->url(), u"New"_s, &output),
                qPrintable(where + u": "_s + QString::fromLocal8Bit(output)));
            for (const auto &[path, bytes] : m_new)
                QVERIFY2(readFile(dir + u'/' + path) == bytes, qPrintable(where + u": after New, "_s + path));
            QCOMPARE(listing(dir), m_normalListing);
            // ... and the backup brings back every old version (the program's own file may stay
            // new: it is never backed up).
            QVERIFY2(runUpdater(dir, m_fast->url(), u"ReBak"_s, &output),
                qPrintable(where + u": "_s + QString::fromLocal8Bit(output)));
            for (const auto &[path, bytes] : m_old) {
                const QByteArray now = readFile(dir + u'/' + path);
                QVERIFY2(now == bytes || (path == u"tav"_s && now == m_new.at(path)),
                    qPrintable(where + u": after ReBak, "_s + path));
            }
            QVERIFY(!QFileInfo::exists(dir + u"/predver.rar"_s));
            QDir(dir).removeRecursively();
        }
    }
    qInfo("%d kills: download %d, unpack %d, backup %d, replacement %d (%d of them halfway), upload %d, "
          "after the end %d",
        kills, hits[Download], hits[Unpack], hits[Backup], hits[Replacement], halfway, hits[Upload],
        hits[Ended]);
    QVERIFY(kills >= 50);
    QVERIFY(halfway >= killsPerStage / 2);
    QVERIFY(hits[Download] > 0 && hits[Replacement] > 0 && hits[Upload] > 0);
    // The unpack lasts a few tens of milliseconds: on a busy machine some of its kills land in
    // the backup run that follows, which is the archiver at work as well.
    QVERIFY(hits[Unpack] + hits[Backup] >= killsPerStage);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 5 && arguments.at(1) == u"--updater"_s)
        return runUpdater(arguments.at(2), arguments.at(3), arguments.at(4).split(u','));
    TestUpdateKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_updatekill_posix.moc"
