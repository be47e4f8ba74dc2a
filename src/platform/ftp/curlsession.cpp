// curl_multi_socket_all() is deprecated but is the one call that runs a transfer libcurl forgot
// to wait for (see CurlSession::drive).
#define CURL_DISABLE_DEPRECATION
#include "platform/ftp/curlsession.h"

#include "platform/ftp/curllibrary_p.h"
#include "platform/ftp/ftpurl.h"

#include <QBuffer>
#include <QFileDevice>
#include <QIODevice>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <utility>

namespace {

// libcurl reads up to a hundred buffers in one call before it returns to the event loop; with
// 16 KB a call stays within a few milliseconds on a fast link and the throughput still matches
// the curl command line (bench/run-ftp).
constexpr long receiveBufferSize = 16 * 1024;

// The socket error libcurl gives for a refused connection: Windows sockets number theirs apart
// from errno.
#ifdef Q_OS_WIN
constexpr long connectionRefusedError = WSAECONNREFUSED;
#else
constexpr long connectionRefusedError = ECONNREFUSED;
#endif

// libcurl's functions. A session calls them only after its first transfer has found
// CurlLibrary::load() non-null, so the table is there.
const CurlApi &curl()
{
    return *CurlLibrary::load();
}

} // namespace

// The easy handle of the step running now and what its callbacks need.
struct CurlSession::Transfer
{
    CURL *easy = nullptr;
    Step step = Step::Login;
    QIODevice *device = nullptr;
    std::unique_ptr<QBuffer> ownedSource; // put() of bytes
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray errorReply; // the last reply of 400 or more during this step
    // Why the local device refused the data of a get or could not give it for a put; set only
    // by the callbacks, so a failure with it is this side's, not the server's.
    std::optional<QString> localFault;
    qint64 now = 0;
    qint64 total = 0;

    [[nodiscard]] bool movesData() const { return step == Step::Get || step == Step::Put; }

    ~Transfer()
    {
        if (easy)
            curl().easyCleanup(easy);
    }
};

// The notifiers are children of the session, so that one whose deletion is still pending when
// the session goes goes with it.
struct CurlSession::SocketWatch
{
    QPointer<QSocketNotifier> read;
    QPointer<QSocketNotifier> write;

    void retire()
    {
        // Either may be the notifier whose signal is being delivered right now.
        for (QSocketNotifier *notifier : {read.data(), write.data()}) {
            if (notifier) {
                notifier->setEnabled(false);
                notifier->deleteLater();
            }
        }
        read.clear();
        write.clear();
    }
};

struct CurlGlue
{
    static int socket(CURL *, curl_socket_t fd, int what, void *session, void *)
    {
        static_cast<CurlSession *>(session)->watchSocket(qintptr(fd), what);
        return 0;
    }

    static int timer(CURLM *, long timeoutMs, void *session)
    {
        auto *curl = static_cast<CurlSession *>(session);
        curl->m_curlDeadline
            = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(qint64(timeoutMs));
        curl->armTimer();
        return 0;
    }

    // Header lines of a step without a body (the file's size): not for a device nor for stdout.
    static size_t discard(char *, size_t size, size_t count, void *) { return size * count; }

    static size_t write(char *data, size_t size, size_t count, void *session)
    {
        auto *curl = static_cast<CurlSession *>(session);
        const qint64 length = qint64(size * count);
        if (!curl->m_transfer->device) {
            curl->m_received.append(data, length);
            return size_t(length);
        }
        // A file on a disk that fills up takes part of the chunk without an error; only the write
        // of the rest fails and says why.
        QIODevice *device = curl->m_transfer->device;
        qint64 written = 0;
        while (written < length) {
            const qint64 chunk = device->write(data + written, length - written);
            if (chunk <= 0)
                break;
            written += chunk;
        }
        if (written == length)
            return size_t(length);
        // A buffered file reports the short write of its buffer without a reason; writing out
        // the rest of the buffer fails again, with one.
        if (auto *file = qobject_cast<QFileDevice *>(device); file && file->error() != QFileDevice::NoError)
            file->flush();
        // Anything short of the whole chunk makes libcurl end the transfer with a write error.
        curl->m_transfer->localFault = device->errorString();
        return 0;
    }

    static size_t read(char *data, size_t size, size_t count, void *session)
    {
        auto *curl = static_cast<CurlSession *>(session);
        QIODevice *device = curl->m_transfer->device;
        const qint64 got = device->read(data, qint64(size * count));
        if (got >= 0)
            return size_t(got);
        curl->m_transfer->localFault = device->errorString();
        return CURL_READFUNC_ABORT;
    }

    static int progress(void *session, curl_off_t downloadTotal, curl_off_t downloaded,
        curl_off_t uploadTotal, curl_off_t uploaded)
    {
        auto *transfer = static_cast<CurlSession *>(session)->m_transfer.get();
        if (transfer->step == CurlSession::Step::Put) {
            transfer->now = uploaded;
            transfer->total = uploadTotal;
        } else {
            transfer->now = downloaded;
            transfer->total = downloadTotal;
        }
        return 0;
    }

    static int debug(CURL *, curl_infotype type, char *data, size_t size, void *session)
    {
        if (type == CURLINFO_HEADER_IN)
            static_cast<CurlSession *>(session)->serverLine(QByteArrayView(data, qsizetype(size)));
        return 0;
    }

    static int sockopt(void *session, curl_socket_t, curlsocktype purpose)
    {
        if (purpose == CURLSOCKTYPE_IPCXN)
            emit static_cast<CurlSession *>(session)->connecting();
        return CURL_SOCKOPT_OK;
    }
};

CurlSession::CurlSession(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A time-out libcurl asked for is delivered now; it asks again for the next one.
        if (m_curlDeadline.hasExpired())
            m_curlDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
        drive(CURL_SOCKET_TIMEOUT, 0);
    });
}

CurlSession::~CurlSession()
{
    close();
}

QString CurlSession::start(const Request &request)
{
    if (!m_multi) {
        if (!CurlLibrary::load())
            return FtpClient::tr("Connecting to host failed:\n%1").arg(CurlLibrary::errorString());
        m_multi = curl().multiInit();
        if (!m_multi)
            return FtpClient::tr("Connecting to host failed:\n%1").arg(FtpClient::tr("Out of memory"));
        curl().multiSetopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlGlue::socket);
        curl().multiSetopt(m_multi, CURLMOPT_SOCKETDATA, this);
        curl().multiSetopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlGlue::timer);
        curl().multiSetopt(m_multi, CURLMOPT_TIMERDATA, this);
    }

    auto transfer = std::make_unique<Transfer>();
    transfer->step = request.step;
    transfer->easy = curl().easyInit();
    CURL *easy = transfer->easy;
    if (!easy)
        return FtpClient::tr("Connecting to host failed:\n%1").arg(FtpClient::tr("Out of memory"));
    curl().easySetopt(easy, CURLOPT_URL,
        FtpUrl::forFile(request.host, request.port, request.directory, request.file).constData());
    curl().easySetopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl().easySetopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl().easySetopt(easy, CURLOPT_USERNAME, request.user.toUtf8().constData());
    curl().easySetopt(easy, CURLOPT_PASSWORD, request.password.toUtf8().constData());
    curl().easySetopt(easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl().easySetopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
    curl().easySetopt(easy, CURLOPT_BUFFERSIZE, receiveBufferSize);
    curl().easySetopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A dead server must not hold a step for ever: less than a byte a second over the whole
    // time-out ends a transfer, and the same time bounds the connection and every reply.
    const long timeout = long(m_timeout.count());
    curl().easySetopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl().easySetopt(easy, CURLOPT_LOW_SPEED_TIME, timeout);
    curl().easySetopt(easy, CURLOPT_CONNECTTIMEOUT, timeout);
    curl().easySetopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    // The debug hook is where the server's replies can be read.
    curl().easySetopt(easy, CURLOPT_VERBOSE, 1L);
    curl().easySetopt(easy, CURLOPT_DEBUGFUNCTION, &CurlGlue::debug);
    curl().easySetopt(easy, CURLOPT_DEBUGDATA, this);
    curl().easySetopt(easy, CURLOPT_SOCKOPTFUNCTION, &CurlGlue::sockopt);
    curl().easySetopt(easy, CURLOPT_SOCKOPTDATA, this);

    switch (request.step) {
    case Step::Info:
        curl().easySetopt(easy, CURLOPT_FILETIME, 1L);
        curl().easySetopt(easy, CURLOPT_WRITEFUNCTION, &CurlGlue::discard);
        [[fallthrough]];
    case Step::Login:
    case Step::Cd:
        // Without a body libcurl stops after login and the change of directory (and the SIZE).
        curl().easySetopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case Step::Get:
        if (request.resumeFrom > 0)
            curl().easySetopt(easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(request.resumeFrom));
        transfer->device = request.device;
        curl().easySetopt(easy, CURLOPT_WRITEFUNCTION, &CurlGlue::write);
        curl().easySetopt(easy, CURLOPT_WRITEDATA, this);
        break;
    case Step::Put:
        if (request.data) {
            transfer->ownedSource = std::make_unique<QBuffer>();
            transfer->ownedSource->setData(*request.data);
            transfer->ownedSource->open(QIODevice::ReadOnly);
            transfer->device = transfer->ownedSource.get();
        } else {
            transfer->device = request.device;
        }
        if (!transfer->device || !transfer->device->isReadable())
            return FtpClient::tr("Uploading file failed:\n%1")
                .arg(FtpClient::tr("The source is not open for reading"));
        curl().easySetopt(easy, CURLOPT_UPLOAD, 1L);
        curl().easySetopt(easy, CURLOPT_READFUNCTION, &CurlGlue::read);
        curl().easySetopt(easy, CURLOPT_READDATA, this);
        if (!transfer->device->isSequential())
            curl().easySetopt(easy, CURLOPT_INFILESIZE_LARGE,
                curl_off_t(transfer->device->size() - transfer->device->pos()));
        break;
    }
    if (transfer->movesData()) {
        curl().easySetopt(easy, CURLOPT_TRANSFERTEXT, request.ascii ? 1L : 0L);
        curl().easySetopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl().easySetopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlGlue::progress);
        curl().easySetopt(easy, CURLOPT_XFERINFODATA, this);
        m_reportedProgress = -1;
    }

    m_transfer = std::move(transfer);
    m_host = request.host;
    m_replyBuilding.clear();
    // libcurl asks for a zero time-out through the timer callback and starts from there.
    curl().multiAddHandle(m_multi, easy);
    return {};
}

void CurlSession::close()
{
    if (m_transfer) {
        if (m_multi)
            curl().multiRemoveHandle(m_multi, m_transfer->easy);
        m_transfer.reset();
    }
    if (m_multi) {
        // Ends the kept control connection (QUIT) and closes its sockets.
        curl().multiCleanup(m_multi);
        m_multi = nullptr;
    }
    for (auto &[fd, watch] : m_sockets)
        watch->retire();
    m_sockets.clear();
    m_timer.stop();
    m_curlDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
    m_kick = false;
    m_kicks = 0;
    m_replyBuilding.clear();
}

QByteArray CurlSession::takeReceived()
{
    return std::exchange(m_received, QByteArray());
}

void CurlSession::watchSocket(qintptr fd, int what)
{
    if (what == CURL_POLL_REMOVE) {
        auto it = m_sockets.find(fd);
        if (it == m_sockets.end())
            return;
        it->second->retire();
        m_sockets.erase(it);
        return;
    }
    auto &watch = m_sockets[fd];
    if (!watch)
        watch = std::make_unique<SocketWatch>();
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !watch->read) {
        watch->read = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(watch->read, &QSocketNotifier::activated, this, [this, fd] { drive(fd, CURL_CSELECT_IN); });
    }
    if (wantWrite && !watch->write) {
        watch->write = new QSocketNotifier(qintptr(fd), QSocketNotifier::Write, this);
        connect(watch->write, &QSocketNotifier::activated, this, [this, fd] { drive(fd, CURL_CSELECT_OUT); });
    }
    if (watch->read)
        watch->read->setEnabled(wantRead);
    if (watch->write)
        watch->write->setEnabled(wantWrite);
}

// The one timer serves libcurl's time-out and, sooner, a kick.
void CurlSession::armTimer()
{
    qint64 wait = m_curlDeadline.isForever() ? -1 : m_curlDeadline.remainingTime();
    if (m_kick) {
        const qint64 kickDelay = m_kicks <= 1 ? 0 : 10;
        wait = wait < 0 ? kickDelay : std::min(wait, kickDelay);
    }
    if (wait < 0)
        m_timer.stop();
    else
        m_timer.start(int(std::min<qint64>(wait, INT_MAX)));
}

bool CurlSession::isWatchingSockets() const
{
    for (const auto &[fd, watch] : m_sockets) {
        if ((watch->read && watch->read->isEnabled()) || (watch->write && watch->write->isEnabled()))
            return true;
    }
    return false;
}

void CurlSession::drive(qintptr fd, int action)
{
    if (!m_multi || m_inCurl)
        return;
    const bool wasKicking = std::exchange(m_kick, false);
    int running = 0;
    m_inCurl = true;
    if (wasKicking)
        curl().multiSocketAll(m_multi, &running);
    else
        curl().multiSocketAction(m_multi, curl_socket_t(fd), action, &running);
    m_inCurl = false;
    // libcurl 7.88 can leave a transfer on a reused connection with no socket to wait for
    // (after PASV, before it opens the data connection); a time-out action reaches it only when
    // the time-out it asked for expires, which may be a minute away. Such a transfer is run
    // again at once, then every 10 ms, through the call that visits every transfer, and the
    // time-out libcurl asked for still stands; once it watches a socket, the normal path takes
    // over.
    m_kick = running > 0 && !isWatchingSockets();
    m_kicks = m_kick ? m_kicks + 1 : 0;
    if (m_kick || wasKicking)
        armTimer();

    if (m_transfer && m_transfer->movesData() && m_transfer->now != m_reportedProgress) {
        m_reportedProgress = m_transfer->now;
        QPointer<CurlSession> alive(this);
        emit progressed(m_transfer->now, m_transfer->total);
        if (!alive)
            return;
    }
    collectFinished();
}

void CurlSession::collectFinished()
{
    if (!m_multi || !m_transfer)
        return;
    int left = 0;
    while (CURLMsg *message = curl().multiInfoRead(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != m_transfer->easy)
            continue;
        const CURLcode code = message->data.result;
        long osError = 0;
        curl().easyGetinfo(m_transfer->easy, CURLINFO_OS_ERRNO, &osError);
        if (m_transfer->step == Step::Info && code == CURLE_OK) {
            curl_off_t size = -1, modified = -1;
            curl().easyGetinfo(m_transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
            curl().easyGetinfo(m_transfer->easy, CURLINFO_FILETIME_T, &modified);
            m_remoteStamp = {qint64(size), qint64(modified)};
        }
        m_resumeRefused = code == CURLE_FTP_COULDNT_USE_REST || code == CURLE_BAD_DOWNLOAD_RESUME;
        curl().multiRemoveHandle(m_multi, m_transfer->easy);

        FtpClient::Error error = FtpClient::UnknownError;
        QString text;
        const bool connecting = m_transfer->step == Step::Login;
        const std::optional<QString> localFault = code == CURLE_OK ? std::nullopt : m_transfer->localFault;
        if (code == CURLE_OK) {
            error = FtpClient::NoError;
        } else if (localFault) {
            text = failureText(*localFault);
        } else if (code == CURLE_COULDNT_RESOLVE_HOST) {
            error = FtpClient::HostNotFound;
            text = FtpClient::tr("Host %1 not found").arg(m_host);
        } else if (connecting && code == CURLE_COULDNT_CONNECT && osError == connectionRefusedError) {
            error = FtpClient::ConnectionRefused;
            text = FtpClient::tr("Connection refused to host %1").arg(m_host);
        } else if (code == CURLE_OPERATION_TIMEDOUT) {
            // libcurl words it after the rule that fired ("Operation too slow", "FTP response
            // timeout", "Connection timed out"); for the user it is one thing.
            text = failureText(
                FtpClient::tr("No response from the server for %1 seconds").arg(m_timeout.count()));
        } else {
            text = failureText(failureDetail(code), code == CURLE_LOGIN_DENIED);
        }
        m_transfer.reset();
        emit finished(error, text, localFault.value_or(QString()));
        return;
    }
}

QString CurlSession::failureText(const QString &detail, bool loginDenied) const
{
    switch (m_transfer->step) {
    case Step::Login:
        if (loginDenied)
            return FtpClient::tr("Login failed:\n%1").arg(detail);
        return FtpClient::tr("Connecting to host failed:\n%1").arg(detail);
    case Step::Cd:
        return FtpClient::tr("Changing directory failed:\n%1").arg(detail);
    case Step::Get:
    case Step::Info:
        return FtpClient::tr("Downloading file failed:\n%1").arg(detail);
    case Step::Put:
        return FtpClient::tr("Uploading file failed:\n%1").arg(detail);
    }
    return detail;
}

QString CurlSession::failureDetail(CURLcode code) const
{
    const Transfer &transfer = *m_transfer;
    if (!transfer.errorReply.isEmpty())
        return QString::fromUtf8(transfer.errorReply);
    if (transfer.errorBuffer[0])
        return QString::fromUtf8(transfer.errorBuffer);
    return QString::fromUtf8(curl().easyStrerror(code));
}

void CurlSession::serverLine(QByteArrayView line)
{
    QByteArray text = line.toByteArray();
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    const bool hasCode = text.size() >= 3 && std::isdigit(uchar(text[0])) && std::isdigit(uchar(text[1]))
        && std::isdigit(uchar(text[2]));
    const int code = hasCode ? text.left(3).toInt() : 0;

    QByteArray complete;
    if (!m_replyBuilding.isEmpty()) {
        m_replyBuilding += '\n' + text;
        if (hasCode && code == m_replyCode && (text.size() == 3 || text[3] == ' '))
            complete = std::exchange(m_replyBuilding, QByteArray());
    } else if (hasCode && text.size() > 3 && text[3] == '-') {
        m_replyCode = code;
        m_replyBuilding = text;
    } else if (hasCode) {
        m_replyCode = code;
        complete = text;
    }
    if (complete.isEmpty())
        return;

    if (m_replyCode >= 400 && m_transfer)
        m_transfer->errorReply = complete;
    emit replyArrived(m_replyCode);
}
