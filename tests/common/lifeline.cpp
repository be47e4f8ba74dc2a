#include "common/lifeline.h"

#include <QDeadlineTimer>

namespace {

int remaining(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}

} // namespace

Lifeline::~Lifeline()
{
    close(m_peer);
    close(m_listener);
}

QByteArray Lifeline::acceptLine(int msecs)
{
    const QDeadlineTimer deadline(msecs);
    if (m_peer < 0) {
        if (m_listener < 0 || !waitReadable(m_listener, remaining(deadline))) {
            m_errorString = QStringLiteral("nothing connected within %1 ms").arg(msecs);
            return {};
        }
        m_peer = acceptPeer(m_listener);
        // One server per lifeline: nobody else gets in.
        close(m_listener);
        if (m_peer < 0) {
            m_errorString = QStringLiteral("accepting the connection failed");
            return {};
        }
    }
    QByteArray line;
    char byte = 0;
    while (!line.endsWith('\n')) {
        if (!waitReadable(m_peer, remaining(deadline)) || receive(m_peer, &byte, 1) != 1) {
            m_errorString
                = QStringLiteral("no whole line within %1 ms: ").arg(msecs) + QString::fromLatin1(line);
            return {};
        }
        line += byte;
    }
    return line.trimmed();
}

bool Lifeline::cut(int msecs)
{
    close(m_listener);
    if (m_peer < 0)
        return true;
    // Anything the server reads is its cue; one that has gone already reads nothing.
    sendByte(m_peer);
    const QDeadlineTimer deadline(msecs);
    bool closed = false;
    char buffer[256];
    while (!closed && waitReadable(m_peer, remaining(deadline)))
        closed = receive(m_peer, buffer, sizeof buffer) <= 0;
    close(m_peer);
    if (!closed)
        m_errorString = QStringLiteral("the server did not close its end within %1 ms").arg(msecs);
    return closed;
}
