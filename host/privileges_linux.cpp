// Linux implementation: capabilities through libcap.
#include "host/privileges.h"

#include <sys/capability.h>

#include <cerrno>

bool drop_privileges()
{
    cap_t empty = cap_init();  // a set with every flag clear
    if (empty == nullptr) return false;
    const bool dropped = cap_set_proc(empty) == 0;
    const int error = errno;
    cap_free(empty);
    errno = error;
    return dropped;
}

std::string privileged_port_hint(const char* program_path)
{
    return std::string("run it as root, or grant the right once with: sudo setcap cap_net_bind_service=+ep ") +
           program_path;
}
