// The lookup on the real kernel: in a fresh network namespace per case, links made with chosen
// addresses and indexes, then the lookup run inside it by a helper program. Needs root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct NamespaceCase {
    const char* name;
    std::vector<std::string> links;  // arguments of `ip -n NS`, run in this order
    const char* expected;
};

bool run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string output_of(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        while (std::fgets(chunk, sizeof chunk, pipe)) text += chunk;
        pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// A namespace that lives as long as the test case; everything made in it goes with it.
class NamespaceLookup : public testing::TestWithParam<NamespaceCase> {
protected:
    void SetUp() override
    {
        if (geteuid() != 0) GTEST_SKIP() << "needs root to make network namespaces";
        name = "orvhw-" + std::to_string(getpid()) + "-" + GetParam().name;
        name.resize(std::min<std::size_t>(name.size(), 40));
        ASSERT_TRUE(run("ip netns add " + name)) << name;
        made = true;
    }
    void TearDown() override
    {
        if (made) run("ip netns del " + name);
    }
    std::string name;
    bool made = false;
};

TEST_P(NamespaceLookup, FindsTheAddressTheRowsSelect)
{
    for (const std::string& link : GetParam().links) ASSERT_TRUE(run("ip -n " + name + " " + link)) << link;
    EXPECT_EQ(output_of("ip netns exec " + name + " " ORVANE_HWADDR_PRINT), GetParam().expected);
}

const NamespaceCase kNamespaceCases[] = {
    {"loopback_only", {}, "00:00:00:00:00:00"},
    // The peer end is its own link: index 20 first, index 21 last.
    {"last_ethernet_by_index",
     {"link add e1 index 21 address 00:aa:bb:cc:dd:ee type veth peer name e0 index 20 address 00:11:22:33:44:55"},
     "00:aa:bb:cc:dd:ee"},
    // Made first but highest index, so last in the table; 257 and 10 also sit in different
    // buckets of the kernel's index hash, where older kernels dumped 257 before 10.
    {"index_order_not_creation_order",
     {"link add b1 index 257 address 02:00:00:00:02:57 type bridge",
      "link add b0 index 10 address 02:00:00:00:00:10 type bridge"},
     "02:00:00:00:02:57"},
    {"dest_zero_skipped",
     {"link add e1 index 11 address 44:45:53:54:00:00 type veth peer name e0 index 10 address 00:11:22:33:44:55"},
     "00:11:22:33:44:55"},
    {"dest_with_nonzero_fifth_byte_taken",
     {"link add e1 index 11 address 44:45:53:54:01:02 type veth peer name e0 index 10 address 00:11:22:33:44:55"},
     "44:45:53:54:01:02"},
    // The tun link has no hardware address and no Ethernet type; it takes the next free index, 4.
    {"tunnel_after_ethernet_passed_over",
     {"link add e1 index 3 address 00:aa:bb:cc:dd:ee type veth peer name e0 index 2 address 00:11:22:33:44:55",
      "tuntap add mode tun name t0"},
     "00:aa:bb:cc:dd:ee"},
    {"bridge_and_veth_mixed",
     {"link add br0 index 30 address 02:00:00:00:00:30 type bridge",
      "link add e1 index 21 address 44:45:53:54:00:21 type veth peer name e0 index 20 address 02:00:00:00:00:20",
      "link set e0 master br0"},
     "02:00:00:00:00:30"},
};

INSTANTIATE_TEST_SUITE_P(Links, NamespaceLookup, testing::ValuesIn(kNamespaceCases),
                         [](const testing::TestParamInfo<NamespaceCase>& info) { return info.param.name; });

}  // namespace
