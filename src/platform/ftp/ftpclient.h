#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class CurlSession;
class QFileDevice;
class QIODevice;

// FTP commands queued and run one after the other inside the event loop, on libcurl's multi
// interface driven by socket notifiers and one single-shot timer (no threads of our own; the
// libcurl side is CurlSession, private to this class).
//
// A batch is what is queued while the client is idle plus whatever is queued before it has
// finished; it reports its end once through done(bool). When a command fails, the commands
// still pending are dropped, the connection is closed and done(true) follows; error() and
// errorString() then tell what went wrong, with the server's reply where there was one.
//
// libcurl cannot connect without logging in, so connectToHost() logs in at once, with the user
// of a login() queued directly behind it (anonymous otherwise); that login() then only
// confirms. Each cd() goes to the server as one CWD, so the server sees the directory exactly as
// given ("/UPDATE", "pub/dir/sub"). Transfers use passive mode (PASV).
//
// A failure on this side, the local device refusing the data of a get (a full disk) or failing
// to give that of a put, ends the batch like any other, with error() UnknownError, and
// isLocalFault() tells it apart from the server's and the network's failures: localErrorString()
// is then the device's own reason ("No space left on device").
//
// A dead server cannot hold a batch for ever: a command whose transfer moves nothing for
// transferTimeout() (60 seconds), whose connection takes longer, or whose reply keeps the
// client waiting longer fails, and the batch ends with done(true) like after any failure.
// libcurl waits for the server's confirmation of an upload without returning to the event loop,
// so a server that takes the data and never confirms holds the thread for that time.
//
// Host names under ".invalid" are refused as not found without asking the resolver: that domain
// never resolves, and unconfigured builds name their servers there.
class FtpClient final : public QObject
{
    Q_OBJECT

public:
    enum State { Unconnected, HostLookup, Connecting, Connected, LoggedIn, Closing };
    Q_ENUM(State)
    enum Error { NoError, UnknownError, HostNotFound, ConnectionRefused, NotConnected };
    Q_ENUM(Error)
    enum TransferType { Binary, Ascii };

    static constexpr std::chrono::seconds defaultTransferTimeout{60};

    // A remote file's size and modification time (seconds since 1970, UTC) as SIZE and MDTM
    // report them; -1 for what the server does not tell.
    struct RemoteStamp
    {
        qint64 size = -1;
        qint64 modified = -1;

        [[nodiscard]] bool isKnown() const { return size >= 0 && modified >= 0; }
        bool operator==(const RemoteStamp &) const = default;
    };

    explicit FtpClient(QObject *parent = nullptr);
    ~FtpClient() override;

    // For commands started from now on; whole seconds, at least one. Tests shorten it.
    void setTransferTimeout(std::chrono::seconds timeout);
    [[nodiscard]] std::chrono::seconds transferTimeout() const;

    // Each returns the command's id, as reported by commandStarted() and commandFinished().
    int connectToHost(const QString &host, quint16 port = 21);
    // An empty user logs in anonymously.
    int login(const QString &user = QString(), const QString &password = QString());
    // Absolute ("/a/b") or relative to the current directory ("a/b").
    int cd(const QString &directory);
    // Writes the file's bytes into device, which must be open for writing and outlive the
    // command; a null device keeps them for readAll().
    int get(const QString &file, QIODevice *device = nullptr, TransferType type = Binary);
    // A get that continues a download that broke off: device is the file that holds what arrived
    // then, open for reading and writing, and recorded the stamp the file had on the server at the
    // time. The server is asked for the file's stamp first (remoteStamp() reports it, before any
    // data); when it is known and equal to recorded and the device holds fewer bytes than the
    // file, the get resumes (REST) at the device's end; otherwise, or when the server refuses
    // to resume, the device is emptied and the whole file fetched.
    int getResuming(const QString &file, QFileDevice *device, const RemoteStamp &recorded);
    // Reads device (open for reading) to its end.
    int put(QIODevice *device, const QString &file, TransferType type = Binary);
    int put(const QByteArray &data, const QString &file, TransferType type = Binary);
    int close();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] Error error() const { return m_error; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    // Of the last batch that failed: whether the local device failed, and its reason.
    [[nodiscard]] bool isLocalFault() const { return !m_localErrorString.isEmpty(); }
    [[nodiscard]] QString localErrorString() const { return m_localErrorString; }
    [[nodiscard]] bool hasPendingCommands() const { return !m_pending.isEmpty(); }
    // Id of the command running now, 0 when idle.
    [[nodiscard]] int currentId() const;
    // Whether a batch is running (queued and not yet reported through done()).
    [[nodiscard]] bool isBusy() const { return m_batchRunning || m_current || !m_pending.isEmpty(); }
    // Bytes that get() kept because it had no device.
    [[nodiscard]] QByteArray readAll();

signals:
    void stateChanged(int state);
    void commandStarted(int id);
    void commandFinished(int id, bool error);
    void done(bool error);
    // total is 0 while the size is unknown. A resumed get counts the bytes it started with.
    void dataTransferProgress(qint64 done, qint64 total);
    // Of a getResuming(): the file's stamp on the server, before its data arrives.
    void remoteStamp(const FtpClient::RemoteStamp &stamp);

private:
    enum class Kind { ConnectToHost, Login, Cd, Get, Put, Close };
    struct Command
    {
        int id = 0;
        Kind kind = Kind::Close;
        QString host;
        quint16 port = 21;
        QString user;
        QString password;
        QString path; // file name for get and put; directory for cd (joined to the current one as it runs)
        QIODevice *device = nullptr;
        QByteArray data;
        bool hasData = false;
        TransferType type = Binary;
        // getResuming(): the stamp recorded for the device's bytes, whether the server's has
        // been asked for, and the offset the transfer starts at.
        bool resuming = false;
        RemoteStamp recorded;
        bool stamped = false;
        qint64 offset = 0;
    };

    int enqueue(Command command);
    void scheduleNext();
    void startNext();
    void execute();
    void runConnect(const QString &user, const QString &password);
    void startStep(Kind kind, const QString &directory);
    void stepFinished(Error error, const QString &text, const QString &localFault);
    // Of a getResuming(): the offset where the transfer starts, the device prepared for it.
    void startResumedGet(const RemoteStamp &stamp);
    void serverReplied(int code);
    void finishCurrent(Error error, const QString &text, const QString &localFault = QString());
    void closeConnection();
    void setState(State state);

    std::unique_ptr<CurlSession> m_session;

    QList<Command> m_pending;
    std::unique_ptr<Command> m_current;
    int m_lastId = 0;
    bool m_batchRunning = false;
    bool m_scheduled = false;

    State m_state = Unconnected;
    Error m_error = NoError;
    QString m_errorString;
    QString m_localErrorString;

    // The session as libcurl will reuse it.
    QString m_host;
    quint16 m_port = 21;
    QString m_user;
    QString m_password;
    bool m_loggedIn = false;
    QString m_directory; // empty: the login directory
};
