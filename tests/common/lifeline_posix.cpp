#include "common/lifeline.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

bool Lifeline::listen()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(int(m_listener), reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(int(m_listener), 1) != 0
        || ::getsockname(int(m_listener), reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        m_errorString = qt_error_string(errno);
        close(m_listener);
        return false;
    }
    m_port = ntohs(address.sin_port);
    return true;
}

bool Lifeline::waitReadable(qintptr socket, int msecs)
{
    pollfd entry{int(socket), POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&entry, 1, msecs);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

qintptr Lifeline::acceptPeer(qintptr listener)
{
    return ::accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC);
}

qint64 Lifeline::receive(qintptr socket, char *data, qint64 size)
{
    return ::recv(int(socket), data, size_t(size), 0);
}

void Lifeline::sendByte(qintptr socket)
{
    ::send(int(socket), "S", 1, MSG_NOSIGNAL);
}

void Lifeline::close(qintptr &socket)
{
    if (socket >= 0)
        ::close(int(socket));
    socket = -1;
}
