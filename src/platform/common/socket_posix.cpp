#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "frontend/frontend.h"
#include "platform/common/socket.h"

namespace net {

Socket listen_loopback(uint16_t& port, std::string& error) {
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(s, 1) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = errno == EADDRINUSE ? format_message("port %u is in use", port)
                                    : format_message("port %u: %s", port, std::strerror(errno));
        if (s >= 0) ::close(s);
        return kNoSocket;
    }
    port = ntohs(address.sin_port);
    return s;
}

Socket accept_connection(Socket listener) {
    int s = ::accept4(int(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (s < 0) return kNoSocket;
    int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
}

bool wait_readable(Socket s, int timeout_ms) {
    pollfd p{int(s), POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) > 0;
}

long receive(Socket s, char* buffer, size_t size) {
    ssize_t n = ::recv(int(s), buffer, size, 0);
    return n < 0 && (errno == EAGAIN || errno == EINTR) ? -1 : n < 0 ? 0 : long(n);
}

bool send_all(Socket s, const char* data, size_t size, int timeout_ms) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::send(int(s), data + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        pollfd p{int(s), POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&p, 1, timeout_ms) > 0) continue;
        ::shutdown(int(s), SHUT_RDWR);
        return false;
    }
    return true;
}

void close_socket(Socket s) {
    // The sending side ends first and what the peer sent last is taken: closing a socket with
    // unread bytes resets the connection, which gdb reports as an error, not as the end.
    ::shutdown(int(s), SHUT_WR);
    char rest[256];
    for (int i = 0; i < 16 && ::recv(int(s), rest, sizeof rest, 0) > 0; ++i) {
    }
    ::close(int(s));
}

}  // namespace net
