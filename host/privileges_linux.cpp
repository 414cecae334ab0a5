// Linux implementation: capabilities through libcap.
#include "host/privileges_linux.h"
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

bool drop_socket_rights()
{
    const cap_value_t socket_rights[] = {CAP_NET_BIND_SERVICE, CAP_NET_RAW};
    cap_t current = cap_get_proc();
    if (current == nullptr) return false;
    // The bounding set first: dropping from it needs cap_setpcap, which the effective set may hold until then.
    cap_flag_value_t may_limit = CAP_CLEAR;
    cap_get_flag(current, CAP_SETPCAP, CAP_EFFECTIVE, &may_limit);
    bool dropped = true;
    for (const cap_value_t right : socket_rights) {
        if (may_limit == CAP_SET && CAP_IS_SUPPORTED(right) && cap_drop_bound(right) != 0) dropped = false;
        for (const cap_flag_t flag : {CAP_EFFECTIVE, CAP_PERMITTED, CAP_INHERITABLE})
            cap_set_flag(current, flag, 1, &right, CAP_CLEAR);
    }
    // The kernel clears an ambient right with the inheritable one.
    if (dropped && cap_set_proc(current) != 0) dropped = false;
    const int error = errno;
    cap_free(current);
    errno = error;
    return dropped;
}
