#include "platform/ftp/ftpclient.h"

#include <QBuffer>
#include <QIODevice>
#include <QPointer>
#include <QSocketNotifier>
#include <QUrl>

// curl_multi_socket_all() is deprecated but is the one call that runs a transfer libcurl forgot
// to wait for (see FtpClient::drive).
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <utility>

namespace {

// libcurl reads up to a hundred buffers in one call before it returns to the event loop; with
// 16 KB a call stays within a few milliseconds on a fast link and the throughput still matches
// the curl command line (bench/run-ftp).
constexpr long receiveBufferSize = 16 * 1024;

void initialiseCurl()
{
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    Q_UNUSED(initialised);
}

bool isReservedInvalidHost(const QString &host)
{
    QString name = host.toLower();
    while (name.endsWith(u'.'))
        name.chop(1);
    return name == u"invalid" || name.endsWith(u".invalid");
}

QByteArray encodePath(const QString &path)
{
    QByteArray out;
    const QStringList pieces = path.split(u'/');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            out += '/';
        out += QUrl::toPercentEncoding(pieces.at(i));
    }
    return out;
}

} // namespace

// The easy handle of the command running now and what its callbacks need.
struct FtpClient::Transfer
{
    CURL *easy = nullptr;
    Kind kind = Kind::Close;
    QIODevice *device = nullptr;
    std::unique_ptr<QBuffer> ownedSource; // put() of bytes
    QString directory; // where a cd goes
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray errorReply; // the last reply of 400 or more during this transfer
    qint64 now = 0;
    qint64 total = 0;

    ~Transfer()
    {
        if (easy)
            curl_easy_cleanup(easy);
    }
};

// The notifiers are children of the client, so that one whose deletion is still pending when
// the client goes goes with it.
struct FtpClient::SocketWatch
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
    static int socket(CURL *, curl_socket_t fd, int what, void *client, void *)
    {
        static_cast<FtpClient *>(client)->watchSocket(int(fd), what);
        return 0;
    }

    static int timer(CURLM *, long timeoutMs, void *client)
    {
        auto *ftp = static_cast<FtpClient *>(client);
        ftp->m_kick = false;
        if (timeoutMs < 0)
            ftp->m_timer.stop();
        else
            ftp->m_timer.start(int(qMin(timeoutMs, long(INT_MAX))));
        return 0;
    }

    static size_t write(char *data, size_t size, size_t count, void *client)
    {
        auto *ftp = static_cast<FtpClient *>(client);
        const qint64 length = qint64(size * count);
        if (!ftp->m_transfer->device) {
            ftp->m_received.append(data, length);
            return size_t(length);
        }
        // Anything short of the whole chunk makes libcurl end the transfer with a write error.
        const qint64 written = ftp->m_transfer->device->write(data, length);
        return written == length ? size_t(length) : 0;
    }

    static size_t read(char *data, size_t size, size_t count, void *client)
    {
        auto *ftp = static_cast<FtpClient *>(client);
        const qint64 got = ftp->m_transfer->device->read(data, qint64(size * count));
        return got < 0 ? CURL_READFUNC_ABORT : size_t(got);
    }

    static int progress(void *client, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t uploadTotal,
        curl_off_t uploaded)
    {
        auto *transfer = static_cast<FtpClient *>(client)->m_transfer.get();
        if (transfer->kind == FtpClient::Kind::Put) {
            transfer->now = uploaded;
            transfer->total = uploadTotal;
        } else {
            transfer->now = downloaded;
            transfer->total = downloadTotal;
        }
        return 0;
    }

    static int debug(CURL *, curl_infotype type, char *data, size_t size, void *client)
    {
        if (type == CURLINFO_HEADER_IN)
            static_cast<FtpClient *>(client)->serverLine(QByteArrayView(data, qsizetype(size)));
        return 0;
    }

    static int sockopt(void *client, curl_socket_t, curlsocktype purpose)
    {
        auto *ftp = static_cast<FtpClient *>(client);
        if (purpose == CURLSOCKTYPE_IPCXN && ftp->m_state == FtpClient::HostLookup)
            ftp->setState(FtpClient::Connecting);
        return CURL_SOCKOPT_OK;
    }
};

FtpClient::FtpClient(QObject *parent)
    : QObject(parent)
{
    initialiseCurl();
    m_errorString = tr("Unknown error");
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FtpClient::timerFired);
}

FtpClient::~FtpClient()
{
    const QSignalBlocker blocker(this);
    m_pending.clear();
    closeConnection();
}

int FtpClient::connectToHost(const QString &host, quint16 port)
{
    Command command;
    command.kind = Kind::ConnectToHost;
    command.host = host;
    command.port = port;
    return enqueue(std::move(command));
}

int FtpClient::login(const QString &user, const QString &password)
{
    Command command;
    command.kind = Kind::Login;
    command.user = user;
    command.password = password;
    return enqueue(std::move(command));
}

int FtpClient::cd(const QString &directory)
{
    Command command;
    command.kind = Kind::Cd;
    command.path = directory;
    return enqueue(std::move(command));
}

int FtpClient::get(const QString &file, QIODevice *device, TransferType type)
{
    Command command;
    command.kind = Kind::Get;
    command.path = file;
    command.device = device;
    command.type = type;
    return enqueue(std::move(command));
}

int FtpClient::put(QIODevice *device, const QString &file, TransferType type)
{
    Command command;
    command.kind = Kind::Put;
    command.path = file;
    command.device = device;
    command.type = type;
    return enqueue(std::move(command));
}

int FtpClient::put(const QByteArray &data, const QString &file, TransferType type)
{
    Command command;
    command.kind = Kind::Put;
    command.path = file;
    command.data = data;
    command.hasData = true;
    command.type = type;
    return enqueue(std::move(command));
}

int FtpClient::close()
{
    Command command;
    command.kind = Kind::Close;
    return enqueue(std::move(command));
}

int FtpClient::currentId() const
{
    return m_current ? m_current->id : 0;
}

QByteArray FtpClient::readAll()
{
    return std::exchange(m_received, QByteArray());
}

int FtpClient::enqueue(Command command)
{
    command.id = ++m_lastId;
    const int id = command.id;
    m_pending.append(std::move(command));
    scheduleNext();
    return id;
}

// Commands start from the event loop, never inside the call that queued them, so that a whole
// batch can be queued before the first one runs.
void FtpClient::scheduleNext()
{
    if (m_scheduled || m_current)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(this, &FtpClient::startNext, Qt::QueuedConnection);
}

void FtpClient::startNext()
{
    m_scheduled = false;
    if (m_current)
        return;
    if (m_pending.isEmpty()) {
        if (m_batchRunning) {
            m_batchRunning = false;
            emit done(false);
        }
        return;
    }
    if (!m_batchRunning) {
        m_batchRunning = true;
        m_error = NoError;
        m_errorString = tr("Unknown error");
    }
    m_current = std::make_unique<Command>(m_pending.takeFirst());
    QPointer<FtpClient> alive(this);
    emit commandStarted(m_current->id);
    if (alive && m_current)
        execute();
}

void FtpClient::execute()
{
    Command &command = *m_current;
    switch (command.kind) {
    case Kind::ConnectToHost: {
        closeConnection();
        m_host = command.host;
        m_port = command.port;
        if (isReservedInvalidHost(m_host)) {
            setState(HostLookup);
            finishCurrent(HostNotFound, tr("Host %1 not found").arg(m_host));
            return;
        }
        QString user;
        QString password;
        if (!m_pending.isEmpty() && m_pending.first().kind == Kind::Login) {
            user = m_pending.first().user;
            password = m_pending.first().password;
        }
        runConnect(user, password);
        return;
    }
    case Kind::Login: {
        if (m_host.isEmpty()) {
            finishCurrent(NotConnected, tr("Not connected"));
            return;
        }
        const bool anonymous = command.user.isEmpty();
        const QString user = anonymous ? QStringLiteral("anonymous") : command.user;
        const QString password = anonymous ? QStringLiteral("anonymous@") : command.password;
        if (m_loggedIn && user == m_user && password == m_password) {
            finishCurrent(NoError, QString());
            return;
        }
        runConnect(command.user, command.password);
        return;
    }
    case Kind::Cd:
    case Kind::Get:
    case Kind::Put: {
        if (!m_loggedIn) {
            finishCurrent(NotConnected, tr("Not connected"));
            return;
        }
        if (command.kind == Kind::Cd) {
            QString target = command.path;
            if (!target.startsWith(u'/') && !m_directory.isEmpty())
                target = m_directory + u'/' + target;
            while (target.size() > 1 && target.endsWith(u'/'))
                target.chop(1);
            startTransfer(Kind::Cd, urlFor(target, QString()));
            if (m_transfer)
                m_transfer->directory = target;
        } else {
            startTransfer(command.kind, urlFor(m_directory, command.path));
        }
        return;
    }
    case Kind::Close:
        if (m_state != Unconnected)
            setState(Closing);
        closeConnection();
        finishCurrent(NoError, QString());
        return;
    }
}

void FtpClient::runConnect(const QString &user, const QString &password)
{
    // A new session: libcurl keys its connection cache on the credentials, so a different
    // user gets a connection of its own.
    const bool anonymous = user.isEmpty();
    m_user = anonymous ? QStringLiteral("anonymous") : user;
    m_password = anonymous ? QStringLiteral("anonymous@") : password;
    m_loggedIn = false;
    m_directory.clear();
    setState(HostLookup);
    startTransfer(m_current->kind, urlFor(QString(), QString()));
}

QByteArray FtpClient::urlFor(const QString &directory, const QString &file) const
{
    QByteArray url = "ftp://";
    if (m_host.contains(u':'))
        url += '[' + m_host.toUtf8() + ']';
    else
        url += m_host.toUtf8();
    url += ':' + QByteArray::number(m_port) + '/';
    if (!directory.isEmpty()) {
        // "%2F" makes libcurl send the leading slash of an absolute directory.
        if (directory.startsWith(u'/'))
            url += "%2F" + encodePath(directory.mid(1));
        else
            url += encodePath(directory);
        if (!url.endsWith('/'))
            url += '/';
    }
    url += QUrl::toPercentEncoding(file);
    return url;
}

void FtpClient::startTransfer(Kind kind, const QByteArray &url)
{
    if (!m_multi) {
        m_multi = curl_multi_init();
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlGlue::socket);
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlGlue::timer);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    }

    auto transfer = std::make_unique<Transfer>();
    transfer->kind = kind;
    transfer->easy = curl_easy_init();
    CURL *easy = transfer->easy;
    if (!easy) {
        finishCurrent(UnknownError, tr("Connecting to host failed:\n%1").arg(tr("Out of memory")));
        return;
    }
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_USERNAME, m_user.toUtf8().constData());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, m_password.toUtf8().constData());
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, receiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // The debug hook is where the server's replies can be read.
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &CurlGlue::debug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &CurlGlue::sockopt);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, this);

    const Command &command = *m_current;
    switch (kind) {
    case Kind::ConnectToHost:
    case Kind::Login:
    case Kind::Cd:
        // Without a body libcurl stops after login and the change of directory.
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        break;
    case Kind::Get:
        transfer->device = command.device;
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlGlue::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        break;
    case Kind::Put:
        if (command.hasData) {
            transfer->ownedSource = std::make_unique<QBuffer>();
            transfer->ownedSource->setData(command.data);
            transfer->ownedSource->open(QIODevice::ReadOnly);
            transfer->device = transfer->ownedSource.get();
        } else {
            transfer->device = command.device;
        }
        if (!transfer->device || !transfer->device->isReadable()) {
            finishCurrent(
                UnknownError, tr("Uploading file failed:\n%1").arg(tr("The source is not open for reading")));
            return;
        }
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CurlGlue::read);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        if (!transfer->device->isSequential())
            curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE,
                curl_off_t(transfer->device->size() - transfer->device->pos()));
        break;
    case Kind::Close:
        break;
    }
    if (kind == Kind::Get || kind == Kind::Put) {
        curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, command.type == Ascii ? 1L : 0L);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlGlue::progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        m_progressDone = -1;
        m_progressTotal = 0;
    }

    m_transfer = std::move(transfer);
    m_replyBuilding.clear();
    // libcurl asks for a zero time-out through the timer callback and starts from there.
    curl_multi_add_handle(m_multi, easy);
}

void FtpClient::watchSocket(int fd, int what)
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
        connect(watch->read, &QSocketNotifier::activated, this,
            [this, fd] { socketActivity(fd, CURL_CSELECT_IN); });
    }
    if (wantWrite && !watch->write) {
        watch->write = new QSocketNotifier(qintptr(fd), QSocketNotifier::Write, this);
        connect(watch->write, &QSocketNotifier::activated, this,
            [this, fd] { socketActivity(fd, CURL_CSELECT_OUT); });
    }
    if (watch->read)
        watch->read->setEnabled(wantRead);
    if (watch->write)
        watch->write->setEnabled(wantWrite);
}

bool FtpClient::isWatchingSockets() const
{
    for (const auto &[fd, watch] : m_sockets) {
        if ((watch->read && watch->read->isEnabled()) || (watch->write && watch->write->isEnabled()))
            return true;
    }
    return false;
}

void FtpClient::socketActivity(int fd, int action)
{
    drive(fd, action);
}

void FtpClient::timerFired()
{
    drive(CURL_SOCKET_TIMEOUT, 0);
}

void FtpClient::drive(int fd, int action)
{
    if (!m_multi || m_inCurl)
        return;
    int running = 0;
    m_inCurl = true;
    if (std::exchange(m_kick, false))
        curl_multi_socket_all(m_multi, &running);
    else
        curl_multi_socket_action(m_multi, curl_socket_t(fd), action, &running);
    m_inCurl = false;
    // libcurl 7.88 can leave a transfer on a reused connection with neither a socket nor a
    // time-out to wait for (after PASV, before it opens the data connection), and a time-out
    // action does not look at a transfer without a timer. Such a transfer is run again through
    // the call that visits every transfer; once it watches a socket or sets its own time-out,
    // the normal path takes over.
    if (running > 0 && !m_timer.isActive() && !isWatchingSockets()) {
        m_kick = true;
        m_timer.start(m_kicks++ == 0 ? 0 : 10);
    } else {
        m_kicks = 0;
    }

    // Signals leave only from here, outside libcurl, so that a slot may run a nested event loop.
    if (m_transfer && (m_transfer->kind == Kind::Get || m_transfer->kind == Kind::Put)
        && m_transfer->now != m_progressDone) {
        m_progressDone = m_transfer->now;
        m_progressTotal = m_transfer->total;
        QPointer<FtpClient> alive(this);
        emit dataTransferProgress(m_progressDone, m_progressTotal);
        if (!alive)
            return;
    }
    collectFinished();
}

void FtpClient::collectFinished()
{
    if (!m_multi || !m_transfer)
        return;
    int left = 0;
    while (CURLMsg *message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != m_transfer->easy)
            continue;
        const CURLcode code = message->data.result;
        long osError = 0;
        curl_easy_getinfo(m_transfer->easy, CURLINFO_OS_ERRNO, &osError);
        curl_multi_remove_handle(m_multi, m_transfer->easy);

        const Kind kind = m_transfer->kind;
        if (code == CURLE_OK) {
            if (kind == Kind::ConnectToHost || kind == Kind::Login) {
                m_loggedIn = true;
                setState(LoggedIn);
            } else if (kind == Kind::Cd) {
                m_directory = m_transfer->directory;
            }
            m_transfer.reset();
            finishCurrent(NoError, QString());
            return;
        }

        Error error = UnknownError;
        QString text;
        const bool connecting = kind == Kind::ConnectToHost || kind == Kind::Login;
        if (code == CURLE_COULDNT_RESOLVE_HOST) {
            error = HostNotFound;
            text = tr("Host %1 not found").arg(m_host);
        } else if (connecting && code == CURLE_COULDNT_CONNECT && osError == ECONNREFUSED) {
            error = ConnectionRefused;
            text = tr("Connection refused to host %1").arg(m_host);
        } else {
            text = failureText(int(code));
        }
        m_transfer.reset();
        finishCurrent(error, text);
        return;
    }
}

QString FtpClient::failureText(int curlCode) const
{
    const Transfer &transfer = *m_transfer;
    QString detail;
    if (curlCode == CURLE_WRITE_ERROR && transfer.device)
        detail = transfer.device->errorString();
    else if (!transfer.errorReply.isEmpty())
        detail = QString::fromUtf8(transfer.errorReply);
    else if (transfer.errorBuffer[0])
        detail = QString::fromUtf8(transfer.errorBuffer);
    else
        detail = QString::fromUtf8(curl_easy_strerror(CURLcode(curlCode)));

    switch (transfer.kind) {
    case Kind::ConnectToHost:
    case Kind::Login:
        if (curlCode == CURLE_LOGIN_DENIED)
            return tr("Login failed:\n%1").arg(detail);
        return tr("Connecting to host failed:\n%1").arg(detail);
    case Kind::Cd:
        return tr("Changing directory failed:\n%1").arg(detail);
    case Kind::Get:
        return tr("Downloading file failed:\n%1").arg(detail);
    case Kind::Put:
        return tr("Uploading file failed:\n%1").arg(detail);
    case Kind::Close:
        break;
    }
    return detail;
}

void FtpClient::serverLine(QByteArrayView line)
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

    m_reply = complete;
    if (m_replyCode >= 400 && m_transfer)
        m_transfer->errorReply = complete;
    if (m_replyCode == 220 && (m_state == HostLookup || m_state == Connecting))
        setState(Connected);
    else if (m_replyCode == 230 && m_state != LoggedIn)
        setState(LoggedIn);
}

void FtpClient::finishCurrent(Error error, const QString &text)
{
    std::unique_ptr<Command> command = std::move(m_current);
    const int id = command ? command->id : 0;
    QPointer<FtpClient> alive(this);
    if (error == NoError) {
        emit commandFinished(id, false);
        if (alive)
            scheduleNext();
        return;
    }

    m_error = error;
    m_errorString = text;
    m_pending.clear();
    closeConnection();
    m_batchRunning = false;
    emit commandFinished(id, true);
    if (alive)
        emit done(true);
}

void FtpClient::closeConnection()
{
    if (m_transfer) {
        if (m_multi)
            curl_multi_remove_handle(m_multi, m_transfer->easy);
        m_transfer.reset();
    }
    if (m_multi) {
        // Ends the cached control connection (QUIT) and closes its sockets.
        curl_multi_cleanup(m_multi);
        m_multi = nullptr;
    }
    for (auto &[fd, watch] : m_sockets)
        watch->retire();
    m_sockets.clear();
    m_timer.stop();
    m_loggedIn = false;
    m_directory.clear();
    m_host.clear();
    m_replyBuilding.clear();
    setState(Unconnected);
}

void FtpClient::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(int(state));
}
