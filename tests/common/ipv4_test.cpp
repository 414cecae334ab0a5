// IPv4 addresses as values: netmask sums.
#include <gtest/gtest.h>

#include "common/ipv4.h"

namespace {

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

}  // namespace
