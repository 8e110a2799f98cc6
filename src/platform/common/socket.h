// The few socket calls that the gdb server makes, on POSIX sockets (socket_posix.cpp) and on
// Winsock (socket_winsock.cpp). Every socket is non-blocking; every wait has a timeout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

using Socket = intptr_t;
inline constexpr Socket kNoSocket = -1;

// A socket listening on 127.0.0.1:`port` (0: any free port; `port` then holds the one taken), or
// kNoSocket with the reason in `error` ("port N is in use" when another program has it).
Socket listen_loopback(uint16_t& port, std::string& error);
// The next connection waiting on `listener`, or kNoSocket.
Socket accept_connection(Socket listener);
// Waits up to `timeout_ms` (-1: for ever) until `s` has bytes, an end or a connection to take.
bool wait_readable(Socket s, int timeout_ms);
// The bytes read (more than 0), 0 when the peer has gone, -1 when there is nothing now.
long receive(Socket s, char* buffer, size_t size);
// Sends everything, waiting at most `timeout_ms` each time the peer does not read; when it still
// does not, the connection is shut down (the next receive sees the end) and the result is false.
bool send_all(Socket s, const char* data, size_t size, int timeout_ms);
void close_socket(Socket s);

}  // namespace net
