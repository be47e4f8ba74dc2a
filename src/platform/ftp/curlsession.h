#pragma once

#include "platform/ftp/ftpclient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <curl/curl.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

class QIODevice;

// libcurl's side of FtpClient, private to src/platform/ftp/: the multi handle, the easy handle
// of the one step running, and the socket notifiers and single-shot timer that drive them from
// the event loop (no threads). A step is one libcurl transfer: the login (with the PWD that
// libcurl sends after it), a change of directory, a download or an upload. Later steps reuse
// the control connection libcurl keeps, until close().
//
// progressed() and finished() leave only after libcurl has returned, so their slots may start
// the next step, close the session or delete its owner. connecting() and replyArrived() are
// sent from inside libcurl's callbacks: their slots only note the state.
class CurlSession final : public QObject
{
    Q_OBJECT

public:
    // Info: the size and modification time of a file (SIZE, MDTM), nothing transferred.
    enum class Step { Login, Cd, Get, Put, Info };

    struct Request
    {
        Step step = Step::Login;
        QString host;
        quint16 port = 21;
        QString user; // never empty: the anonymous login is spelt out
        QString password;
        // Absolute ("/a/b") or relative to the login directory ("a/b"); empty: the login directory.
        QString directory;
        QString file; // get and put
        // get: the target, a null device keeps the bytes for takeReceived(); put: the source
        QIODevice *device = nullptr;
        std::optional<QByteArray> data; // put of bytes instead of a device
        bool ascii = false;
        qint64 resumeFrom = 0; // get: REST at this offset, the bytes from there on written
    };

    explicit CurlSession(QObject *parent = nullptr);
    ~CurlSession() override;

    // A step that moves no data for this long fails, and so does a connection that takes longer
    // or a reply that keeps the client waiting longer.
    void setTimeout(std::chrono::seconds timeout) { m_timeout = timeout; }
    [[nodiscard]] std::chrono::seconds timeout() const { return m_timeout; }

    // An empty text: the step runs and finished() follows. Otherwise the error text of the step
    // that could not start.
    [[nodiscard]] QString start(const Request &request);
    // Drops the running step without finished(), ends the kept connection (QUIT) and closes
    // every socket.
    void close();
    [[nodiscard]] QByteArray takeReceived();
    // What the last Info step learnt; -1 for what the server did not tell.
    [[nodiscard]] FtpClient::RemoteStamp remoteStamp() const { return m_remoteStamp; }
    // Whether the last step failed because the server would not resume at the offset asked for.
    [[nodiscard]] bool resumeRefused() const { return m_resumeRefused; }

signals:
    // A connection to the server's address is being opened.
    void connecting();
    // A whole reply of the server, multi-line replies included, with its code.
    void replyArrived(int code);
    // Of a get or a put; total is 0 while the size is unknown.
    void progressed(qint64 done, qint64 total);
    // NoError, or the failure and its text: what failed, then the server's error reply, the
    // device's error or libcurl's reason. localFault is not empty when the local device failed
    // (a full disk under a get, an unreadable source of a put): the device's own reason.
    void finished(FtpClient::Error error, const QString &text, const QString &localFault);

private:
    struct Transfer;
    struct SocketWatch;
    friend struct CurlGlue;

    void watchSocket(qintptr fd, int what);
    [[nodiscard]] bool isWatchingSockets() const;
    void armTimer();
    void drive(qintptr fd, int action);
    void collectFinished();
    void serverLine(QByteArrayView line);
    [[nodiscard]] QString failureText(const QString &detail, bool loginDenied = false) const;
    [[nodiscard]] QString failureDetail(CURLcode code) const;

    CURLM *m_multi = nullptr;
    std::unique_ptr<Transfer> m_transfer;
    QString m_host; // of the running step, for the error texts
    std::map<qintptr, std::unique_ptr<SocketWatch>> m_sockets;
    QTimer m_timer;
    QDeadlineTimer m_curlDeadline{QDeadlineTimer::Forever}; // of the time-out libcurl asked for
    bool m_inCurl = false;
    bool m_kick = false; // the next call visits every transfer
    int m_kicks = 0; // in a row
    std::chrono::seconds m_timeout = FtpClient::defaultTransferTimeout;

    QByteArray m_replyBuilding; // the lines so far of a multi-line reply
    int m_replyCode = 0;
    QByteArray m_received;
    qint64 m_reportedProgress = -1;
    FtpClient::RemoteStamp m_remoteStamp;
    bool m_resumeRefused = false;
};
