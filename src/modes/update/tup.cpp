#include "modes/update/tup.h"

#include "forms/layoutbuilder.h"
#include "forms/statestore.h"
#include "modes/update/installer.h"
#include "modes/update/partialdownload.h"
#include "modes/update/updatecheck.h"
#include "modes/update/updateconfirmation.h"
#include "platform/archiver.h"
#include "platform/ownfiles.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"
#include "support/strings.h"
#include "toolkit/widgethelpers.h"
#include "toolkit/windowdecoration.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <deployment.h>

#include <limits>

namespace {

constexpr qsizetype hostProgramCapacity = 399;

QByteArray text(QByteArrayView key)
{
    return Catalog::text(key).value_or(QByteArray());
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

TUp::TUp(QByteArrayView updateFile, QByteArrayView hostProgram)
    : m_archiveName(UpdateCheck::archiveName(updateFile))
    , m_log(UpdateLog::fileNameFor(UpdateLog::installationNumber()))
    , m_hostProgram(Strings::boundedCopy(hostProgram, hostProgramCapacity))
{
    decorateWindow(this, Catalog::displayText("main"),
        WindowDecoration::Window | WindowDecoration::Icon | WindowDecoration::DialogFrame);
    WidgetHelpers::setFontSize(this, Settings::fontSize());
    m_siteList = UpdateSites::siteList();

    QLayout *layout = LayoutBuilder::buildLayout("Tav", this);
    // Without a description the log view still needs a place.
    if (!layout)
        layout = new QBoxLayout(QBoxLayout::TopToBottom);
    setLayout(layout);

    m_logView = new QTextEdit;
    m_logView->setObjectName(QStringLiteral("log"));
    m_logView->setReadOnly(true);
    m_logView->setUndoRedoEnabled(false);
    logLine(text("ProtLi"), Qt::blue);
    m_logView->setMinimumHeight(height());
    const int width = WidgetHelpers::screenSize().width();
    m_logView->setMinimumWidth(findChild<QLabel *>(QStringLiteral("r.htm")) ? width / 3 : width / 6);
    layout->addWidget(m_logView);

    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->hide();
    layout->addWidget(m_progress);
    connect(&m_ftp, &FtpClient::dataTransferProgress, this, &TUp::showTransferProgress);
    connect(&m_ftp, &FtpClient::remoteStamp, this, [this](const FtpClient::RemoteStamp &stamp) {
        if (m_download)
            m_download->record(stamp);
    });

    m_signature = std::make_unique<UpdateSignature>(m_ftp, *this, m_log);
    connect(m_signature.get(), &UpdateSignature::finished, this, [this](const Minisign::Result &result) {
        if (result.verified()) {
            unpack();
            return;
        }
        // Nothing of an archive that is not the maker's is unpacked or kept.
        QFile::remove(UpdateCheck::pathInside(m_archiveName));
        attemptFailed();
    });

    refreshBackupButton(this);

    if (auto *sites = findChild<QComboBox *>(QStringLiteral("Vib"))) {
        sites->addItem(Catalog::displayText("Aut"));
        for (const UpdateSites::SiteListEntry &entry : std::as_const(m_siteList))
            sites->addItem(CodePage::toUnicode(entry.displayName));
    }
}

TUp::~TUp() = default;

void TUp::logLine(QByteArrayView line, std::optional<Qt::GlobalColor> colour)
{
    // The lines of one pass of the event loop (an installation writes one per file) are one edit
    // of the document, laid out once when the loop next runs.
    if (!m_logBatch) {
        m_logBatch.emplace(m_logView->document());
        m_logBatch->beginEditBlock();
        QTimer::singleShot(0, this, &TUp::endLogBatch);
    }
    if (colour)
        m_logView->setTextColor(QColor(*colour));
    m_logView->append(CodePage::toUnicode(line));
}

void TUp::endLogBatch()
{
    if (m_logBatch)
        m_logBatch->endEditBlock();
    m_logBatch.reset();
}

void TUp::clearLog()
{
    endLogBatch();
    m_logView->clear();
}

void TUp::setBusy(bool busy)
{
    if (busy) {
        if (m_busyDepth++ > 0)
            return;
        setCursor(Qt::BusyCursor);
        m_progress->setRange(0, 0);
        m_progress->show();
        // The archiver's wait holds clicks and keys back; they are dropped when it ends.
        qApp->installEventFilter(this);
        return;
    }
    if (m_busyDepth == 0 || --m_busyDepth > 0)
        return;
    // Input held back while the archiver ran reaches the filter now and is dropped: the user did
    // not mean it for what the window offers afterwards.
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    unsetCursor();
    m_progress->setVisible(m_download != nullptr);
}

bool TUp::eventFilter(QObject *watched, QEvent *event)
{
    if (m_busyDepth > 0 && isUserInput(event->type())) {
        // Only this window's input: a box shown meanwhile is answered as usual.
        if (watched == static_cast<QObject *>(windowHandle()))
            return true;
        if (const auto *widget = qobject_cast<QWidget *>(watched); widget && widget->window() == this)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TUp::Knop()
{
    StateStore::storeDialog(this);
    WidgetHelpers::dispatchButton(sender(),
        {
            {"Nel", [] { WidgetHelpers::openWebSite(Deployment::webSite); }},
            {"New", [this] { startUpdate(); }},
            {"ReBak",
                [this] {
                    if (refusedWhileRunning())
                        return;
                    Installer(*this, m_log, m_hostProgram).restoreBackup();
                    reportLogFailure();
                }},
            {"InfUp",
                [this] {
                    if (!refusedWhileRunning())
                        m_log.showHistory(*this);
                }},
            {"ReMain", [this] { close(); }},
            {"Lumida", [] { WidgetHelpers::openWebSite(Deployment::webSite2); }},
        });
}

bool TUp::refusedWhileRunning()
{
    // The update directory, the FTP connection, the backup and the log view belong to the run
    // that goes on.
    if (!isRunning())
        return false;
    Diagnostics::warning("UpBusy");
    return true;
}

void TUp::reject()
{
    // Every way of closing the window ends here (the title bar's button, Alt+F4, Escape, "ReMain").
    // A run stopped in the middle would cut the archiver's work or leave the installation half
    // updated, so the window stays until the run has ended, and says so.
    if (isRunning()) {
        // Written between two steps of the run: the next line of the run that keeps the colour of
        // the line before it ("RarSus") keeps that of its own step.
        const QColor colour = m_logView->textColor();
        logLine(text("UpClose"), Qt::red);
        m_logView->setTextColor(colour);
        return;
    }
    QDialog::reject();
}

void TUp::startUpdate()
{
    if (refusedWhileRunning())
        return;
    // The name becomes a path in "UP00" and on the site: it must not lead out of either.
    if (!UpdateCheck::isPlainFileName(m_archiveName)) {
        logLine(text("BadUF") + " '" + m_archiveName + '\'', Qt::red);
        Diagnostics::warning("BadUF");
        return;
    }
    if (!Archiver::isPresent()) {
        Diagnostics::warning("NoRar");
        return;
    }
    const auto *sites = findChild<QComboBox *>(QStringLiteral("Vib"));
    m_siteChoice = sites ? qMax(0, sites->currentIndex()) : 0;
    logLine(text("LoadNew"), Qt::magenta);

    QString reason;
    if (!UpdateCheck::emptyDirectory(&reason, PartialDownload::keptNames(m_archiveName))) {
        logLine("Error: " + CodePage::fromUnicode(reason), Qt::red);
        Diagnostics::warning("ErrUP");
        return;
    }
    m_attemptIndex = m_siteChoice >= 1 ? m_siteChoice - 1 : 0;
    m_running = true;
    startAttempt();
}

int TUp::siteNumberOf(int attempt) const
{
    return attempt >= 0 && attempt < m_siteList.size() ? m_siteList.at(attempt).siteNumber : 0;
}

void TUp::startAttempt()
{
    const bool listed = m_attemptIndex >= 0 && m_attemptIndex < m_siteList.size();
    const int siteNumber = siteNumberOf(m_attemptIndex);
    // An attempt past the list goes to site 0, and the line says so.
    const QByteArray shown
        = listed ? m_siteList.at(m_attemptIndex).displayName : QByteArray::number(siteNumber);
    logLine(text("obrSait") + " '" + shown + '\'', Qt::darkBlue);

    if (siteNumber < 0 || siteNumber >= UpdateSites::siteCount) {
        logLine(text("NoSait") + ' ' + QByteArray::number(siteNumber) + " '" + shown + '\'', Qt::red);
        attemptFailed();
        return;
    }

    // Nothing goes to the network for a download that has nowhere to go. The archive arrives
    // under a hidden name and takes its own only when it is whole.
    auto download = std::make_unique<PartialDownload>(m_archiveName);
    QString reason;
    if (!download->open(&reason)) {
        localFault(QStringLiteral("Error: Cannot create file ") + UpdateCheck::pathInside(m_archiveName)
            + QStringLiteral(": ") + reason);
        return;
    }
    m_download = std::move(download);
    connect(&m_ftp, &FtpClient::done, this, &TUp::upDoneFile, Qt::UniqueConnection);
    UpdateSites::connectSite(m_ftp, siteNumber);
    m_ftp.cd(QStringLiteral("/UPDATE"));
    m_ftp.getResuming(CodePage::toUnicode(m_archiveName), m_download->file(), m_download->recorded());
    m_ftp.close();
    showTransferProgress(0, 0);
}

void TUp::upDoneFile(bool error)
{
    Diagnostics::log("upDoneFile; err=%d att=%d", error ? 1 : 0, m_attemptIndex);
    const std::unique_ptr<PartialDownload> download = std::move(m_download);
    disconnect(&m_ftp, &FtpClient::done, this, &TUp::upDoneFile);
    if (m_busyDepth == 0)
        m_progress->hide();

    if (error) {
        if (m_ftp.isLocalFault()) {
            // A full disk: nothing of the download is kept.
            if (download)
                download->discard();
            localFault(QStringLiteral("Error: Cannot write file ")
                + (download ? QDir::toNativeSeparators(download->file()->fileName()) : QString())
                + QStringLiteral(": ") + m_ftp.localErrorString());
            return;
        }
        // What arrived stays for the next attempt on this archive.
        if (download)
            download->keep();
        // The server's or the system's words; the client's error number means nothing to the user.
        logLine("Error: " + CodePage::fromUnicode(m_ftp.errorString()), Qt::red);
        attemptFailed();
        return;
    }
    QString reason;
    if (download && !download->complete(UpdateCheck::pathInside(m_archiveName), &reason)) {
        localFault(QStringLiteral("Error: Cannot create file ") + UpdateCheck::pathInside(m_archiveName)
            + QStringLiteral(" from ") + QDir::toNativeSeparators(download->file()->fileName())
            + QStringLiteral(": ") + reason);
        return;
    }
    logLine(text("Fload"), Qt::green);
    if (UpdateSignature::isRequired()) {
        m_signature->start(
            siteNumberOf(m_attemptIndex), m_archiveName, UpdateCheck::pathInside(m_archiveName));
        return;
    }
    unpack();
}

void TUp::localFault(const QString &line)
{
    const QByteArray said = CodePage::fromUnicode(line);
    logLine(said, Qt::red);
    endRun();
    Diagnostics::warning("ErrCreat", said);
}

void TUp::attemptFailed()
{
    const int failed = m_attemptIndex++;
    if (failed == 0 && m_siteChoice == 0) {
        startAttempt();
        return;
    }
    logLine(text("NoInf"), Qt::red);
    endRun();
    Diagnostics::warning("NoInf");
}

void TUp::unpack()
{
    setBusy(true);
    const Archiver::Result result = Archiver::run({QStringLiteral("x"), QStringLiteral("-idcpdq"),
        QStringLiteral("-y"), UpdateCheck::pathInside(m_archiveName), UpdateCheck::directory() + u'/'});
    setBusy(false);
    if (result.succeeded()) {
        logLine(text("RarSus"), std::nullopt);
        checkUpdate();
        return;
    }
    logLine(text("RarErr"), Qt::red);
    logLine(text("StopP"), Qt::red);
    const QByteArray reason = CodePage::fromUnicode(result.errorText);
    if (!reason.isEmpty())
        logLine(reason, Qt::red);
    // A full disk leaves nothing worth keeping: the archive and what was unpacked give their space
    // back. A damaged archive leaves its unpacked part in "UP00" until the next run.
    if (result.isWriteFault()) {
        QString failure;
        if (!UpdateCheck::emptyDirectory(&failure))
            logLine("Error: " + CodePage::fromUnicode(failure), Qt::red);
    }
    endRun();
    // The archiver's last words name the cause: a damaged archive, or a full disk.
    Diagnostics::warning("RarErr", reason);
}

void TUp::checkUpdate()
{
    m_log.write("#%s New %s", UpdateLog::currentTimeStamp().constData(), text("New").constData());
    m_log.writeDateLine("-", OwnFiles::executableName());
    m_log.writeDateLine("-", m_hostProgram);

    QList<QByteArray> unusable;
    const QList<QByteArray> candidates = UpdateCheck::candidates(m_archiveName, &unusable);
    for (const QByteArray &name : std::as_const(unusable)) {
        logLine(text("NameErr") + ' ' + name, Qt::red);
        m_log.write("%s %s", text("NameErr").constData(), name.constData());
    }
    UpdateCheck::Selection selection = UpdateCheck::select(candidates);
    for (const QByteArray &note : std::as_const(selection.notes))
        m_log.write("%s", note.constData());

    if (selection.selected.isEmpty()) {
        endRun();
        Diagnostics::warning("ActIs");
        m_log.write("#%s", text("ActIs").constData());
        return;
    }
    UpdateConfirmation confirmation(UpdateCheck::pathInside("readme"), this);
    if (confirmation.exec() != QDialog::Accepted) {
        m_log.write("#%s", text("Otkaz").constData());
        endRun();
        return;
    }
    UpdateCheck::completeGroups(selection, candidates);
    Installer(*this, m_log, m_hostProgram).installFiles(selection.selected);

    connect(&m_ftp, &FtpClient::done, this, &TUp::upDoneLog, Qt::UniqueConnection);
    m_log.upload(m_ftp, siteNumberOf(m_attemptIndex));
    refreshBackupButton(this);
    endRun();
}

void TUp::upDoneLog(bool)
{
    // Whether the log arrived is not looked at; the next batch reports elsewhere.
    disconnect(&m_ftp, &FtpClient::done, this, &TUp::upDoneLog);
}

void TUp::Status()
{
    const QByteArray report = UpdateSites::stateReport(m_ftp.state());
    Diagnostics::logLine(report);
    logLine(report, Qt::black);
}

void TUp::endRun()
{
    m_running = false;
    reportLogFailure();
}

void TUp::reportLogFailure()
{
    const QString failure = m_log.takeFailure();
    if (failure.isEmpty())
        return;
    const QByteArray line = CodePage::fromUnicode(QStringLiteral("Error: Cannot write file ") + failure);
    logLine(line, Qt::red);
    Diagnostics::warning("LogErr", line);
}

void TUp::showTransferProgress(qint64 done, qint64 total)
{
    // Only the archive's download is shown; the log's upload is small.
    if (!m_download || m_busyDepth > 0)
        return;
    // A fast transfer reports every few kilobytes; the bar moves at most every 50 ms.
    if (done > 0 && done < total && m_progressClock.isValid() && m_progressClock.elapsed() < 50)
        return;
    m_progressClock.start();
    if (total <= 0) {
        m_progress->setRange(0, 0);
    } else {
        // The bar counts in int; large archives count in KiB.
        const int shift = total > std::numeric_limits<int>::max() ? 10 : 0;
        m_progress->setRange(0, int(total >> shift));
        m_progress->setValue(int(qMin(done, total) >> shift));
        const QLocale locale;
        m_progress->setFormat(
            locale.formattedDataSize(done) + QStringLiteral(" / ") + locale.formattedDataSize(total));
    }
    m_progress->show();
}
