#include "platform/common/gdb_server.h"

#include <chrono>

namespace {

// A debugger that stops reading its socket for this long is dropped, so that it cannot hold the
// emulator up.
constexpr int kSendTimeoutMs = 10000;

}  // namespace

GdbServer::~GdbServer() {
    if (connected()) net::close_socket(client_);
    if (listening()) net::close_socket(listener_);
}

bool GdbServer::listen(uint16_t port, std::string& error) {
    listener_ = net::listen_loopback(port, error);
    port_ = port;
    return listening();
}

void GdbServer::take_client(Machine& m) {
    client_ = net::accept_connection(listener_);
    if (connected()) stub_.attach(m);
}

void GdbServer::send(const std::string& bytes) {
    if (!bytes.empty()) net::send_all(client_, bytes.data(), bytes.size(), kSendTimeoutMs);
}

// Reads what gdb sent and answers it. The debugger has gone after a detach, a kill or a closed
// connection: the processor runs on without it and the next debugger may connect.
void GdbServer::exchange(Machine& m) {
    char chunk[4096];
    long n = net::receive(client_, chunk, sizeof chunk);
    if (n < 0) return;
    if (n > 0) {
        send(stub_.receive(m, std::string_view(chunk, size_t(n))));
        killed_ = stub_.killed();
        if (!stub_.detached() && !killed_) return;
    }
    drop(m);
}

void GdbServer::drop(Machine& m) {
    if (!stub_.killed()) stub_.release(m);
    net::close_socket(client_);
    client_ = net::kNoSocket;
}

void GdbServer::serve(Machine& m, bool look) {
    if (!connected()) {
        if (look && listening()) take_client(m);
        if (!connected()) return;
    }
    send(stub_.poll_stop(m));
    if (look) exchange(m);
}

bool GdbServer::wait(Machine& m, int timeout_ms) {
    if (!listening() || !net::wait_readable(connected() ? client_ : listener_, timeout_ms))
        return false;
    if (connected()) {
        exchange(m);
    } else {
        take_client(m);
    }
    return true;
}

void GdbServer::pause(Machine& m, int64_t nanoseconds) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + duration<int64_t, std::nano>(nanoseconds);
    for (;;) {
        const auto left = duration_cast<milliseconds>(end - steady_clock::now()).count();
        if (left <= 0 || !wait(m, int(left))) return;
    }
}

void GdbServer::finish(int status) {
    if (!connected()) return;
    send(stub_.exit_reply(status));
    net::close_socket(client_);
    client_ = net::kNoSocket;
}
