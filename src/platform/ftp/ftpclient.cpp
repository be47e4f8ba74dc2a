#include "platform/ftp/ftpclient.h"

#include "platform/ftp/curlsession.h"

#include <QFileDevice>
#include <QPointer>

#include <algorithm>
#include <utility>

namespace {

bool isReservedInvalidHost(const QString &host)
{
    QString name = host.toLower();
    while (name.endsWith(u'.'))
        name.chop(1);
    return name == u"invalid" || name.endsWith(u".invalid");
}

} // namespace

FtpClient::FtpClient(QObject *parent)
    : QObject(parent)
    , m_session(std::make_unique<CurlSession>())
{
    m_errorString = tr("Unknown error");
    connect(m_session.get(), &CurlSession::connecting, this, [this] {
        if (m_state == HostLookup)
            setState(Connecting);
    });
    connect(m_session.get(), &CurlSession::replyArrived, this, &FtpClient::serverReplied);
    connect(m_session.get(), &CurlSession::progressed, this, [this](qint64 done, qint64 total) {
        const qint64 offset = m_current ? m_current->offset : 0;
        emit dataTransferProgress(done + offset, total > 0 ? total + offset : 0);
    });
    connect(m_session.get(), &CurlSession::finished, this, &FtpClient::stepFinished);
}

FtpClient::~FtpClient()
{
    const QSignalBlocker blocker(this);
    m_pending.clear();
    closeConnection();
}

void FtpClient::setTransferTimeout(std::chrono::seconds timeout)
{
    m_session->setTimeout(std::max(timeout, std::chrono::seconds(1)));
}

std::chrono::seconds FtpClient::transferTimeout() const
{
    return m_session->timeout();
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

int FtpClient::getResuming(const QString &file, QFileDevice *device, const RemoteStamp &recorded)
{
    Command command;
    command.kind = Kind::Get;
    command.path = file;
    command.device = device;
    command.resuming = true;
    command.recorded = recorded;
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
    return m_session->takeReceived();
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
        m_localErrorString.clear();
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
            command.path = target;
            startStep(Kind::Cd, target);
        } else {
            startStep(command.kind, m_directory);
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
    startStep(m_current->kind, QString());
}

void FtpClient::startStep(Kind kind, const QString &directory)
{
    const Command &command = *m_current;
    CurlSession::Request request;
    switch (kind) {
    case Kind::ConnectToHost:
    case Kind::Login:
    case Kind::Close:
        request.step = CurlSession::Step::Login;
        break;
    case Kind::Cd:
        request.step = CurlSession::Step::Cd;
        break;
    case Kind::Get:
        request.step = CurlSession::Step::Get;
        break;
    case Kind::Put:
        request.step = CurlSession::Step::Put;
        break;
    }
    request.host = m_host;
    request.port = m_port;
    request.user = m_user;
    request.password = m_password;
    request.directory = directory;
    if (kind == Kind::Get && command.resuming && !command.stamped)
        request.step = CurlSession::Step::Info;
    if (kind == Kind::Get || kind == Kind::Put) {
        request.resumeFrom = command.offset;
        request.file = command.path;
        request.device = command.device;
        if (command.hasData)
            request.data = command.data;
        request.ascii = command.type == Ascii;
    }
    const QString failure = m_session->start(request);
    if (!failure.isEmpty())
        finishCurrent(UnknownError, failure);
}

void FtpClient::stepFinished(Error error, const QString &text, const QString &localFault)
{
    if (!m_current)
        return;
    Command &command = *m_current;
    if (command.kind == Kind::Get && command.resuming) {
        if (error == NoError && !command.stamped) {
            startResumedGet(m_session->remoteStamp());
            return;
        }
        // A server that will not resume gets asked for the whole file.
        if (error != NoError && command.offset > 0 && m_session->resumeRefused()) {
            startResumedGet({});
            return;
        }
    }
    if (error == NoError) {
        const Kind kind = m_current->kind;
        if (kind == Kind::ConnectToHost || kind == Kind::Login) {
            m_loggedIn = true;
            setState(LoggedIn);
        } else if (kind == Kind::Cd) {
            m_directory = m_current->path;
        }
    }
    finishCurrent(error, text, localFault);
}

void FtpClient::startResumedGet(const RemoteStamp &stamp)
{
    Command &command = *m_current;
    const bool firstAnswer = !command.stamped;
    command.stamped = true;
    auto *file = qobject_cast<QFileDevice *>(command.device);
    const qint64 held = file ? file->size() : 0;
    const bool resume = stamp.isKnown() && stamp == command.recorded && held > 0 && held < stamp.size;
    command.offset = resume ? held : 0;
    if (file && !(file->resize(command.offset) && file->seek(command.offset))) {
        finishCurrent(
            UnknownError, tr("Downloading file failed:\n%1").arg(file->errorString()), file->errorString());
        return;
    }
    if (firstAnswer) {
        QPointer<FtpClient> alive(this);
        emit remoteStamp(stamp);
        if (!alive || !m_current)
            return;
    }
    startStep(Kind::Get, m_directory);
}

void FtpClient::serverReplied(int code)
{
    if (code == 220 && (m_state == HostLookup || m_state == Connecting))
        setState(Connected);
    else if (code == 230 && m_state != LoggedIn)
        setState(LoggedIn);
}

void FtpClient::finishCurrent(Error error, const QString &text, const QString &localFault)
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
    m_localErrorString = localFault;
    m_pending.clear();
    closeConnection();
    m_batchRunning = false;
    emit commandFinished(id, true);
    if (alive)
        emit done(true);
}

void FtpClient::closeConnection()
{
    m_session->close();
    m_loggedIn = false;
    m_directory.clear();
    m_host.clear();
    setState(Unconnected);
}

void FtpClient::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(int(state));
}
