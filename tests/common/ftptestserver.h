#pragma once

#include "common/lifeline.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A local FTP server for one test: tests/common/ftpserver.py (pyftpdlib) run with the host's
// python3 (common/hostpython.h) on 127.0.0.1 and a port the server picks itself (or a fixed one).
//
//     FtpTestServer server;
//     server.addUser(u"kora"_s, u"secret"_s, home, u"elradfmw"_s);   // or allowAnonymous(home)
//     server.setDropAfter(1000);               // optional: cut every data connection there
//     server.setStallAfter(1000);              // optional: or let it go silent there
//     START_FTP_SERVER(server);
//     ... connect to 127.0.0.1:server.port() ...
//     QCOMPARE(server.commands().filter(u"CWD"_s), ...);
//
// commands() is every command line the server received so far, in order, as the client sent
// it ("USER anonymous", "CWD /UPDATE", "RETR ko1.rar"). The server is held by a Lifeline: it
// stops with the object (stop() returns once its port is closed, so that a fixed port can be taken
// again at once) or with the test process, however that ends.
class FtpTestServer final
{
public:
    FtpTestServer();
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer &) = delete;
    FtpTestServer &operator=(const FtpTestServer &) = delete;

    // perm as pyftpdlib spells it: "elr" reads, "elradfmw" reads and writes.
    void addUser(const QString &name, const QString &password, const QString &home,
        const QString &perm = QStringLiteral("elr"));
    void allowAnonymous(const QString &home, const QString &perm = QStringLiteral("elr"));
    // A fixed port, for programs whose server address is compiled in; 0 (the default) lets the
    // server pick a free one.
    void setPort(quint16 port) { m_fixedPort = port; }
    // A negative count (the default) never cuts.
    void setDropAfter(qint64 bytes) { m_dropAfter = bytes; }
    // Every data connection stays open but sends and reads nothing more after that many bytes,
    // as a dead server's does; a negative count (the default) never stalls.
    void setStallAfter(qint64 bytes) { m_stallAfter = bytes; }
    // The control connection answers nothing once a login has succeeded.
    void setStallAfterLogin(bool stall) { m_stallAfterLogin = stall; }
    // Every data connection moves at most that many bytes a second; 0 (the default): no limit.
    void setRateLimit(qint64 bytesPerSecond) { m_rateLimit = bytesPerSecond; }
    // REST is refused, as by a server that cannot resume a download.
    void setRefuseRest(bool refuse) { m_refuseRest = refuse; }
    // Uploads alone move at most that many bytes a second (a slow link up, a fast one down).
    void setUploadRateLimit(qint64 bytesPerSecond) { m_uploadRateLimit = bytesPerSecond; }

    // Why no server can run on this system (Windows without Wine); empty where one can.
    [[nodiscard]] static QString unavailableReason();
    // Starts the server and waits until it accepts connections.
    [[nodiscard]] bool start();
    void stop();
    [[nodiscard]] quint16 port() const { return m_port; }
    // "ftp://127.0.0.1:<port>"
    [[nodiscard]] QString url() const;
    [[nodiscard]] QStringList commands() const;
    [[nodiscard]] QString lastError() const { return m_lastError; }

private:
    std::unique_ptr<Lifeline> m_lifeline;
    QTemporaryDir m_workDir;
    QStringList m_arguments;
    qint64 m_dropAfter = -1;
    qint64 m_stallAfter = -1;
    bool m_stallAfterLogin = false;
    qint64 m_rateLimit = 0;
    bool m_refuseRest = false;
    qint64 m_uploadRateLimit = 0;
    quint16 m_fixedPort = 0;
    quint16 m_port = 0;
    QString m_lastError;
};

// Starts a server (an FtpTestServer or anything with start() and lastError()) or fails the test;
// where no server can run at all (Windows without Wine) the test is skipped with the reason.
#define START_FTP_SERVER(server)                                                                             \
    do {                                                                                                     \
        if (const QString whyNot = FtpTestServer::unavailableReason(); !whyNot.isEmpty())                    \
            QSKIP(qPrintable(whyNot));                                                                       \
        QVERIFY2((server).start(), qPrintable((server).lastError()));                                        \
    } while (false)
