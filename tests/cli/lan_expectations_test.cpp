// --vlan and --expect read and resolved together: the VLAN list, each entry's forms, and the contradictions
// refused with the reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/lan_expectations.h"

namespace {

struct VlanListCase {
    const char* text;
    std::vector<std::uint16_t> lans;  // empty: refused
};

TEST(VlanList, ReadsNumbersRangesAndTheUntaggedLan)
{
    const VlanListCase cases[] = {
        {"10", {10}},
        {"10,20,100-103", {10, 20, 100, 101, 102, 103}},
        {"30,10,20", {10, 20, 30}},
        {"10-12,11,12", {10, 11, 12}},
        {"untagged,5", {0, 5}},
        {"1,4094", {1, 4094}},
        {"1-4094", {}},  // filled below: all of them
        {"0", {}},
        {"4095", {}},
        {"", {}},
        {"10,", {}},
        {",10", {}},
        {"20-10", {}},
        {"10-", {}},
        {"-10", {}},
        {"10 ", {}},
        {"+10", {}},
        {"0x10", {}},
        {"untagged-5", {}},
        {"99999", {}},
    };
    for (const VlanListCase& c : cases) {
        std::vector<std::uint16_t> lans;
        const std::string reason = read_vlan_list(c.text, lans);
        if (std::string(c.text) == "1-4094") {
            EXPECT_TRUE(reason.empty());
            EXPECT_EQ(lans.size(), 4094u);
            continue;
        }
        EXPECT_EQ(reason.empty(), !c.lans.empty()) << "'" << c.text << "': " << reason;
        if (!c.lans.empty()) {
            EXPECT_EQ(lans, c.lans) << c.text;
        }
    }
}

struct EntryCase {
    const char* text;
    bool taken;
    bool every_lan;
    std::uint16_t vlan;
    bool by_ethernet;
};

TEST(ExpectEntry, ReadsAddressesEthernetAddressesAndVlans)
{
    const EntryCase cases[] = {
        {"192.168.1.1", true, true, 0, false},
        {"02:4f:52:56:00:01", true, true, 0, true},
        {"00-16-3e-11-22-33", true, true, 0, true},
        {"10/10.0.10.1", true, false, 10, false},
        {"4094/02:4f:52:56:00:01", true, false, 4094, true},
        {"untagged/192.168.1.1", true, false, 0, false},
        {"0/192.168.1.1", false, false, 0, false},
        {"4095/192.168.1.1", false, false, 0, false},
        {"/192.168.1.1", false, false, 0, false},
        {"10/", false, false, 0, false},
        {"10/20/10.0.0.1", false, false, 0, false},
        {"server", false, false, 0, false},
        {"01:00:5e:00:00:01", false, false, 0, false},
        {"ff:ff:ff:ff:ff:ff", false, false, 0, false},
        {"00:00:00:00:00:00", false, false, 0, false},
        {"192.168.1.256", false, false, 0, false},
    };
    for (const EntryCase& c : cases) {
        ExpectEntry entry;
        const std::string reason = read_expect_entry(c.text, entry);
        EXPECT_EQ(reason.empty(), c.taken) << c.text << ": " << reason;
        if (!c.taken) continue;
        EXPECT_EQ(entry.every_lan, c.every_lan) << c.text;
        EXPECT_EQ(entry.server.vlan, c.vlan) << c.text;
        EXPECT_EQ(entry.server.by_ethernet, c.by_ethernet) << c.text;
    }
}

struct ResolveCase {
    const char* name;
    std::vector<std::string> entries;
    std::vector<std::uint16_t> lans;
    bool vlans_given;
    bool capture;
    std::vector<std::string> expected;  // expected_text with VLANs, in order
    const char* refusal;                // a part of the reason; null: taken
};

void PrintTo(const ResolveCase& c, std::ostream* out)
{
    *out << c.name;
}

// clang-format off
const ResolveCase kResolveCases[] = {
    {"no_entries", {}, {10, 20}, true, true, {}, nullptr},
    {"plain_list_on_the_link", {"192.168.1.1", "10.0.0.2"}, {0}, false, false,
     {"untagged/192.168.1.1", "untagged/10.0.0.2"}, nullptr},
    {"an_entry_without_vlan_on_each_vlan", {"10.0.0.5"}, {10, 20, 30}, true, true,
     {"10/10.0.0.5", "20/10.0.0.5", "30/10.0.0.5"}, nullptr},
    {"mixed", {"10.0.0.5", "10/10.0.10.1"}, {10, 20}, true, true,
     {"10/10.0.0.5", "20/10.0.0.5", "10/10.0.10.1"}, nullptr},
    {"named_twice_counts_once", {"10.0.0.5", "10/10.0.0.5", "10.0.0.5"}, {10}, true, true, {"10/10.0.0.5"}, nullptr},
    {"ethernet_on_one_vlan", {"10/02:4f:52:57:00:0a", "20/10.0.20.1"}, {10, 20}, true, true,
     {"10/02:4f:52:57:00:0a", "20/10.0.20.1"}, nullptr},
    {"untagged_lan_in_the_list", {"untagged/192.168.1.1", "10/10.0.10.1"}, {0, 10}, true, true,
     {"untagged/192.168.1.1", "10/10.0.10.1"}, nullptr},
    {"vlan_not_listed", {"10/10.0.10.1", "30/10.0.30.1"}, {10, 20}, true, true, {},
     "names VLAN 30, which --vlan does not list"},
    {"vlan_without_vlan_list", {"10/10.0.10.1"}, {0}, false, true, {}, "only --vlan probes VLANs"},
    {"untagged_without_vlan_list", {"untagged/10.0.10.1"}, {0}, false, true, {}, "only --vlan probes VLANs"},
    {"a_vlan_left_unjudged", {"10/10.0.10.1"}, {10, 20}, true, true, {}, "no server for VLAN 20"},
    {"the_untagged_lan_left_unjudged", {"10/10.0.10.1"}, {0, 10}, true, true, {}, "no server for VLAN untagged"},
    {"ethernet_without_capture", {"02:4f:52:56:00:01"}, {0}, false, false, {}, "seen only with --capture"},
};
// clang-format on

class ResolveExpectations : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveExpectations, OneServerPerLanOrTheReason)
{
    const ResolveCase& c = GetParam();
    std::vector<ExpectEntry> entries;
    for (const std::string& text : c.entries) {
        entries.emplace_back();
        ASSERT_EQ(read_expect_entry(text, entries.back()), "") << text;
    }
    std::vector<ExpectedServer> expected;
    const std::string reason = resolve_expectations(entries, c.lans, c.vlans_given, c.capture, expected);
    if (c.refusal != nullptr) {
        EXPECT_NE(reason.find(c.refusal), std::string::npos) << reason;
        return;
    }
    EXPECT_EQ(reason, "");
    std::vector<std::string> shown;
    for (const ExpectedServer& server : expected) shown.push_back(expected_text(server, true));
    EXPECT_EQ(shown, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResolveExpectations, testing::ValuesIn(kResolveCases),
                         [](const testing::TestParamInfo<ResolveCase>& info) { return info.param.name; });

}  // namespace
