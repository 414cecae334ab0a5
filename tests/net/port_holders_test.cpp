// The count of sockets on a port in the kernel's socket table.
#include <gtest/gtest.h>

#include "net/port_holders.h"

namespace {

TEST(PortHolders, CountsSocketsOnTheLocalPortOnly)
{
    const std::string table =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer "
        "drops\n"
        "  101: 00000000:0044 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 1 2 0 0\n"
        "  102: 0A4DA8C0:0044 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 1 2 0 0\n"
        "  103: 00000000:0043 00000000:0044 07 00000000:00000000 00:00000000 00000000     0        0 1 2 0 0\n"
        "  104: 00000000:10044 00000000:0000 07\n"
        "  garbage\n";
    EXPECT_EQ(count_port_in_socket_table(table, 68), 2) << "the remote port and a too-long number do not count";
    EXPECT_EQ(count_port_in_socket_table(table, 67), 1);
    const std::string six =
        "  sl  local_address                         remote_address\n"
        "  5: 00000000000000000000000000000000:0044 00000000000000000000000000000000:0000 07\n";
    EXPECT_EQ(count_port_in_socket_table(six, 68), 1);
    EXPECT_EQ(count_port_in_socket_table("", 68), 0);
}

}  // namespace
