#pragma once
// Plays fuzz input as the server's side of a socket pair and reads it with TMysqlNet.

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "protocol/TMysqlNet.h"

// The bytes are written to the peer, which then closes: reads end with a lost connection.
inline bool playAsServer(TMysqlNet& net, const uint8_t* data, size_t size)
{
    int fds[2];
    if (size > 65536 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    size_t sent = 0;
    while (sent < size) {
        ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) std::abort();
        sent += size_t(n);
    }
    ::close(fds[1]);
    net.Adopt(fds[0], 1);
    return true;
}
