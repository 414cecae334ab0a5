// Linux implementation of the port holders: the kernel's UDP socket tables for this network namespace.
#include "net/port_holders.h"

#include <fstream>
#include <sstream>

namespace {

bool read_table(const char* path, std::string& text)
{
    std::ifstream in(path);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

}  // namespace

int count_udp_port_sockets(std::uint16_t port)
{
    std::string table;
    if (!read_table("/proc/net/udp", table)) return -1;
    int count = count_port_in_socket_table(table, port);
    // A dual-stack socket on [::]:68 holds the IPv4 port too.
    if (read_table("/proc/net/udp6", table)) count += count_port_in_socket_table(table, port);
    return count;
}
