// Linux: the rights a process started by root gives up when another process opens its sockets for it.
#pragma once

// Clears cap_net_bind_service and cap_net_raw from the process's sets, its bounding set (so that no program it
// starts gets them back) and its ambient set; every other right is kept, root's access to files included. True
// when neither is left; false, with errno saying why, when the system refused.
bool drop_socket_rights();
