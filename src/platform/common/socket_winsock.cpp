#include <winsock2.h>
#include <ws2tcpip.h>

#include "frontend/frontend.h"
#include "platform/common/socket.h"

namespace net {

namespace {

bool wait_for(Socket s, bool write, int timeout_ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(SOCKET(s), &set);
    timeval limit{timeout_ms / 1000, timeout_ms % 1000 * 1000};
    return ::select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr,
                    timeout_ms < 0 ? nullptr : &limit) > 0;
}

}  // namespace

// No SO_REUSEADDR: on Windows it would let the socket share a port that another program uses.
Socket listen_loopback(uint16_t& port, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "Winsock cannot be started";
        return kNoSocket;
    }
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(s, 1) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::ioctlsocket(s, FIONBIO, &on) != 0) {
        int code = WSAGetLastError();
        error = code == WSAEADDRINUSE ? format_message("port %u is in use", port)
                                      : format_message("port %u: Winsock error %d", port, code);
        if (s != INVALID_SOCKET) ::closesocket(s);
        return kNoSocket;
    }
    port = ntohs(address.sin_port);
    return Socket(s);
}

Socket accept_connection(Socket listener) {
    SOCKET s = ::accept(SOCKET(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kNoSocket;
    u_long on = 1;
    BOOL no_delay = TRUE;
    ::ioctlsocket(s, FIONBIO, &on);
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
                 sizeof no_delay);
    return Socket(s);
}

bool wait_readable(Socket s, int timeout_ms) {
    return wait_for(s, false, timeout_ms);
}

long receive(Socket s, char* buffer, size_t size) {
    int n = ::recv(SOCKET(s), buffer, int(size), 0);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : 0;
    return n;
}

bool send_all(Socket s, const char* data, size_t size, int timeout_ms) {
    size_t done = 0;
    while (done < size) {
        int n = ::send(SOCKET(s), data + done, int(size - done), 0);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK &&
            wait_for(s, true, timeout_ms))
            continue;
        ::shutdown(SOCKET(s), SD_BOTH);
        return false;
    }
    return true;
}

void close_socket(Socket s) {
    // The sending side ends first and what the peer sent last is taken: closing a socket with
    // unread bytes resets the connection, which gdb reports as an error, not as the end.
    ::shutdown(SOCKET(s), SD_SEND);
    char rest[256];
    for (int i = 0; i < 16 && ::recv(SOCKET(s), rest, int(sizeof rest), 0) > 0; ++i) {
    }
    ::closesocket(SOCKET(s));
}

}  // namespace net
