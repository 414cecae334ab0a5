// The portable part of the host's interfaces: which ones --all-interfaces takes.
#include <gtest/gtest.h>

#include "host/interfaces.h"

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

// The platform's own listing (rtnetlink, or the MIB-II agent under Wine) read for real: every host has a
// loopback interface holding 127.0.0.1/8, and the listing must find it with its address and mask.
TEST(HostInterfaces, TheListingHoldsTheLoopbackInterfaceWithItsAddress)
{
    std::vector<HostInterface> interfaces;
    ASSERT_TRUE(list_host_interfaces(interfaces));
    bool found = false;
    for (const HostInterface& interface : interfaces) {
        for (const HostAddress& held : interface.addresses) {
            if (held.address != Ipv4Address{127, 0, 0, 1}) continue;
            found = true;
            EXPECT_TRUE(interface.loopback) << interface.name;
            EXPECT_FALSE(interface.ethernet) << interface.name;
            EXPECT_EQ(held.prefix_length, 8) << interface.name;
            EXPECT_FALSE(interface.name.empty());
            EXPECT_GT(interface.index, 0);
        }
    }
    EXPECT_TRUE(found) << interfaces.size() << " interfaces listed";
}

}  // namespace
