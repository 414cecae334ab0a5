// Linux: the window program's privileged helper, the only file that carries rights. The window program starts it
// on a socketpair; it links no Qt, reads no environment and takes no option, so it can only open what the window
// program opened: ports 67 and 68, or the locked packet socket beside a holder of port 68.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/helper/helper_service.h"
#include "host/privileges.h"
#include "host/standard_descriptors.h"

namespace {

bool is_helper_channel(int fd)
{
    int type = 0;
    int domain = 0;
    socklen_t size = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0) return false;
    size = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0) return false;
    return type == SOCK_SEQPACKET && domain == AF_UNIX;
}

}  // namespace

int main(int argc, char**)
{
    // Nothing a caller sets may steer it; the C library already ignores what loads code in a process with rights.
    clearenv();
    if (!make_standard_descriptors_valid()) return 1;
    if (argc > 1 || !is_helper_channel(kHelperChannelDescriptor)) {
        drop_privileges();
        std::fprintf(stderr, "orvane-helper: the window program orvane starts it; it takes no option\n");
        return 2;
    }
    fcntl(kHelperChannelDescriptor, F_SETFD, FD_CLOEXEC);
    HelperSockets sockets;
    const HelperFrame started = open_helper_sockets(sockets);
    std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
    const std::size_t length = encode_helper_frame(started, bytes);
    if (send(kHelperChannelDescriptor, bytes.data(), length, MSG_NOSIGNAL) != static_cast<ssize_t>(length)) return 1;
    if (started.failed_step != 0) return 1;
    return serve_window_program(kHelperChannelDescriptor, sockets);
}
