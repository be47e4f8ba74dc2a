#include "common/lifeline.h"

#include <winsock2.h>

bool Lifeline::listen()
{
    // Winsock counts its users; the test process's end releases it.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        m_errorString = QStringLiteral("Winsock cannot be started");
        return false;
    }
    const SOCKET listener
        = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    m_listener = listener == INVALID_SOCKET ? -1 : qintptr(listener);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (m_listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(listener, 1) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        m_errorString = qt_error_string(WSAGetLastError());
        close(m_listener);
        return false;
    }
    m_port = ntohs(address.sin_port);
    return true;
}

bool Lifeline::waitReadable(qintptr socket, int msecs)
{
    WSAPOLLFD entry{SOCKET(socket), POLLRDNORM, 0};
    return WSAPoll(&entry, 1, msecs) > 0;
}

qintptr Lifeline::acceptPeer(qintptr listener)
{
    const SOCKET peer = ::accept(SOCKET(listener), nullptr, nullptr);
    if (peer == INVALID_SOCKET)
        return -1;
    SetHandleInformation(reinterpret_cast<HANDLE>(peer), HANDLE_FLAG_INHERIT, 0);
    return qintptr(peer);
}

qint64 Lifeline::receive(qintptr socket, char *data, qint64 size)
{
    return ::recv(SOCKET(socket), data, int(size), 0);
}

void Lifeline::sendByte(qintptr socket)
{
    ::send(SOCKET(socket), "S", 1, 0);
}

void Lifeline::close(qintptr &socket)
{
    if (socket >= 0)
        ::closesocket(SOCKET(socket));
    socket = -1;
}
