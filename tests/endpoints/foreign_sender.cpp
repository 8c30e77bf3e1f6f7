// Run under another user id with a socket connected to an endpoint as fd 3:
// sends one well-formed message on it and prints the user id it ran as.

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "platform/endpoints.h"

int main() {
    const auto bytes = zan::EncodeWindowMessage({7, 7, 7});
    const ssize_t sent = ::send(3, bytes.data(), bytes.size(), 0);
    std::printf("%u\n", static_cast<unsigned>(::getuid()));
    return sent == static_cast<ssize_t>(bytes.size()) ? 0 : 1;
}
