// The DISCOVER's bytes, checked from the pure fill without any socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "protocol/discovery_request.h"

namespace {

std::vector<std::uint8_t> range(const DiscoveryRequest& request, std::size_t offset, std::size_t length)
{
    return {request.begin() + offset, request.begin() + offset + length};
}

bool all_zero(const DiscoveryRequest& request, std::size_t offset, std::size_t length)
{
    return std::all_of(request.begin() + offset, request.begin() + offset + length,
                       [](std::uint8_t b) { return b == 0; });
}

struct FillCase {
    const char* name;
    HardwareAddress address;
};

class DiscoveryFill : public testing::TestWithParam<FillCase> {};

TEST_P(DiscoveryFill, WritesEveryFieldOfTheLayout)
{
    DiscoveryRequest request{};
    fill_discovery_request(request, GetParam().address);

    EXPECT_EQ(range(request, 0, 4), (std::vector<std::uint8_t>{1, 1, 6, 0}));              // op htype hlen hops
    EXPECT_EQ(range(request, 4, 4), (std::vector<std::uint8_t>{0x9A, 0x02, 0x00, 0x00}));  // xid as on the wire
    EXPECT_EQ(range(request, 8, 2), (std::vector<std::uint8_t>{0, 0}));                    // secs
    EXPECT_EQ(range(request, 10, 2), (std::vector<std::uint8_t>{0x80, 0x00}));             // flags: broadcast
    EXPECT_TRUE(all_zero(request, 12, 16));                                                // ciaddr..giaddr
    EXPECT_EQ(range(request, 28, 6), std::vector<std::uint8_t>(GetParam().address.begin(), GetParam().address.end()));
    EXPECT_TRUE(all_zero(request, 34, 10));    // rest of chaddr
    EXPECT_TRUE(all_zero(request, 44, 64));    // sname
    EXPECT_TRUE(all_zero(request, 108, 128));  // file
    EXPECT_EQ(range(request, 236, 4), (std::vector<std::uint8_t>{0x63, 0x82, 0x53, 0x63}));
    EXPECT_EQ(range(request, 240, 4), (std::vector<std::uint8_t>{53, 1, 1, 255}));
    EXPECT_TRUE(all_zero(request, 244, 304));  // nothing behind End
}

INSTANTIATE_TEST_SUITE_P(Addresses, DiscoveryFill,
                         testing::Values(FillCase{"zero", {0, 0, 0, 0, 0, 0}},
                                         FillCase{"ordinary", {0x02, 0x00, 0x5E, 0x10, 0x20, 0x30}},
                                         FillCase{"all_ones", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}),
                         [](const testing::TestParamInfo<FillCase>& info) { return info.param.name; });

TEST(DiscoveryFill, RepeatedFillsAreIdentical)
{
    const HardwareAddress address{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    DiscoveryRequest first{};
    fill_discovery_request(first, address);
    DiscoveryRequest second = first;
    fill_discovery_request(second, address);
    EXPECT_EQ(first, second);
}

TEST(DiscoveryFill, RewritesFieldsButLeavesUnusedRangesAlone)
{
    // A buffer that someone scribbled over gets every field back, and nothing else is touched.
    DiscoveryRequest request;
    request.fill(0xEE);
    fill_discovery_request(request, HardwareAddress{1, 2, 3, 4, 5, 6});
    EXPECT_EQ(range(request, 0, 12), (std::vector<std::uint8_t>{1, 1, 6, 0, 0x9A, 2, 0, 0, 0, 0, 0x80, 0}));
    EXPECT_TRUE(all_zero(request, 12, 16));
    EXPECT_EQ(request[34], 0xEE);
    EXPECT_EQ(request[244], 0xEE);
    EXPECT_EQ(range(request, 236, 8), (std::vector<std::uint8_t>{0x63, 0x82, 0x53, 0x63, 53, 1, 1, 255}));
}

TEST(DiscoveryFill, ChangingTheAddressChangesOnlyChaddr)
{
    DiscoveryRequest a{};
    DiscoveryRequest b{};
    fill_discovery_request(a, HardwareAddress{});
    fill_discovery_request(b, HardwareAddress{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i >= 28 && i < 34) continue;
        EXPECT_EQ(a[i], b[i]) << "offset " << i;
    }
}

}  // namespace
