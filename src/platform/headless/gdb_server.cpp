#include "platform/headless/gdb_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/frontend.h"
#include "machine.h"

namespace {

// A debugger that stops reading its socket for this long is dropped, so that it cannot hold the
// emulator up.
constexpr int kSendTimeoutMs = 10000;

}  // namespace

GdbServer::~GdbServer() {
    if (client_ >= 0) ::close(client_);
    if (listener_ >= 0) ::close(listener_);
}

bool GdbServer::listen(uint16_t port, std::string& error) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = errno == EADDRINUSE ? format_message("port %u is in use", port)
                                    : format_message("port %u: %s", port, std::strerror(errno));
        return false;
    }
    std::fprintf(stderr, "tamo-headless: gdb: listening on 127.0.0.1:%u\n",
                 ntohs(address.sin_port));
    return true;
}

void GdbServer::accept_client(Machine& m, bool wait) {
    if (wait) {
        pollfd p{listener_, POLLIN, 0};
        ::poll(&p, 1, -1);
    }
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client_ < 0) return;
    int on = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    stub_.attach(m);
}

void GdbServer::send(const std::string& bytes) {
    size_t done = 0;
    while (client_ >= 0 && done < bytes.size()) {
        ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        pollfd p{client_, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&p, 1, kSendTimeoutMs) > 0) continue;
        ::shutdown(client_, SHUT_RDWR);  // dropped at the next read
        return;
    }
}

bool GdbServer::exchange(Machine& m, bool wait) {
    pollfd p{client_, POLLIN, 0};
    if (::poll(&p, 1, wait ? -1 : 0) <= 0) return true;
    char chunk[4096];
    ssize_t n = ::recv(client_, chunk, sizeof chunk, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return false;
    send(stub_.receive(m, std::string_view(chunk, size_t(n))));
    if (stub_.killed()) killed_ = true;
    return !stub_.detached() && !stub_.killed();
}

// The debugger has gone (detach, kill or a closed connection): the processor runs on without it
// and the next debugger may connect.
void GdbServer::drop(Machine& m) {
    if (!stub_.killed()) stub_.release(m);
    ::close(client_);
    client_ = -1;
}

void GdbServer::serve(Machine& m, bool look) {
    if (client_ < 0) {
        if (look) accept_client(m, false);
        if (client_ < 0) return;
    }
    send(stub_.poll_stop(m));
    bool connected = !look || exchange(m, false);
    // While gdb holds the processor, its commands are all there is to do.
    while (connected && !stub_.running()) connected = exchange(m, true);
    if (!connected) drop(m);
}

void GdbServer::run_frames(Machine& m, uint32_t frames, bool wait) {
    if (wait) accept_client(m, true);
    for (uint32_t f = 0; f < frames && !m.cpu.QuitFlag; ++f) {
        serve(m, true);
        for (int line = 0; line < kLinesPerFrame && !m.cpu.QuitFlag; ++line) {
            main_loop_pass(m);
            serve(m, false);
        }
    }
    if (client_ >= 0) {
        send(stub_.exit_reply(m.cpu.QuitFlag ? 1 : 0));
        ::close(client_);
        client_ = -1;
    }
}
