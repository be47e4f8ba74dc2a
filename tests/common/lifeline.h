#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The connection by which a test holds a server it started as another process: the server
// connects to 127.0.0.1:port(), says its first line, and serves until the test cuts the
// connection. A test that dies cuts it as well (the system closes its sockets), so no server
// outlives its test; under Wine that is the only hold a Windows test has on a Linux process.
// The sockets are not inherited by the programs a test starts.
class Lifeline final
{
public:
    Lifeline() = default;
    ~Lifeline();
    Lifeline(const Lifeline &) = delete;
    Lifeline &operator=(const Lifeline &) = delete;

    // Listens on 127.0.0.1 and a free port; false (and errorString()) when it cannot.
    [[nodiscard]] bool listen();
    [[nodiscard]] quint16 port() const { return m_port; }
    // The first line the server sends, without its end, once it has connected; an empty array
    // when none comes within msecs.
    [[nodiscard]] QByteArray acceptLine(int msecs);
    // Asks the server to stop and waits until it has closed its end: false when it does not within
    // msecs. The connection is closed either way.
    bool cut(int msecs);
    [[nodiscard]] QString errorString() const { return m_errorString; }

private:
    // The system's socket calls, a socket being -1 when there is none.
    // Whether the socket has something to read (or has been closed) within msecs.
    [[nodiscard]] static bool waitReadable(qintptr socket, int msecs);
    [[nodiscard]] static qintptr acceptPeer(qintptr listener);
    // The bytes read, 0 at the end, negative on an error.
    [[nodiscard]] static qint64 receive(qintptr socket, char *data, qint64 size);
    static void sendByte(qintptr socket);
    static void close(qintptr &socket);

    qintptr m_listener = -1;
    qintptr m_peer = -1;
    quint16 m_port = 0;
    QString m_errorString;
};
