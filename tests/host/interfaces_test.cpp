// The portable parts of the host's interfaces: which ones --all-interfaces takes, netmask sums, and the
// count of sockets on a port in the kernel's socket table.
#include <gtest/gtest.h>

#include "host/interfaces.h"
#include "net/port_holders.h"

namespace {

HostInterface make(const char* name, bool up, bool loopback, bool ethernet, int addresses)
{
    HostInterface interface;
    interface.name = name;
    interface.up = up;
    interface.loopback = loopback;
    interface.ethernet = ethernet;
    for (int k = 0; k < addresses; ++k)
        interface.addresses.push_back(HostAddress{{10, 0, 0, static_cast<std::uint8_t>(k + 1)}, 24});
    return interface;
}

TEST(ProbeCandidates, TakesEthernetInterfacesThatAreUpWithAnIpv4Address)
{
    const std::vector<HostInterface> interfaces = {
        make("lo", true, true, false, 1),   make("eth0", true, false, true, 1), make("eth1", false, false, true, 1),
        make("eth2", true, false, true, 0), make("wg0", true, false, false, 1), make("eth3", true, false, true, 2),
    };
    std::vector<std::string> names;
    for (const HostInterface* interface : probe_candidates(interfaces)) names.push_back(interface->name);
    EXPECT_EQ(names, (std::vector<std::string>{"eth0", "eth3"}));
    EXPECT_EQ(find_host_interface(interfaces, "eth2"), &interfaces[3]);
    EXPECT_EQ(find_host_interface(interfaces, "eth9"), nullptr);
}

TEST(Netmask, CountsLeadingOnes)
{
    const std::pair<Ipv4Address, int> cases[] = {
        {{255, 255, 255, 0}, 24},   {{255, 255, 255, 255}, 32}, {{0, 0, 0, 0}, 0},
        {{255, 255, 255, 252}, 30}, {{255, 128, 0, 0}, 9},      {{255, 0, 255, 0}, 8},
    };
    for (const auto& [mask, length] : cases) EXPECT_EQ(prefix_length_of(mask), length) << static_cast<int>(mask[1]);
}

TEST(Netmask, ComparesThePrefixOnly)
{
    struct Case {
        Ipv4Address a, b;
        int prefix;
        bool same;
    };
    const Case cases[] = {
        {{192, 168, 77, 233}, {192, 168, 77, 2}, 24, true},
        {{10, 88, 0, 133}, {192, 168, 77, 2}, 24, false},
        {{192, 168, 77, 5}, {192, 168, 77, 2}, 30, false},
        {{192, 168, 77, 3}, {192, 168, 77, 2}, 31, true},
        {{1, 2, 3, 4}, {200, 0, 0, 0}, 0, true},
        {{1, 2, 3, 4}, {1, 2, 3, 4}, 32, true},
        {{1, 2, 3, 4}, {1, 2, 3, 5}, 32, false},
    };
    for (const Case& c : cases) EXPECT_EQ(same_network(c.a, c.b, c.prefix), c.same) << c.prefix;
}

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
