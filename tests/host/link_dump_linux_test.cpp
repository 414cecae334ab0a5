// The decoder of the kernel's link dump, fed with built and with broken messages.
#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/interface_rows.h"
#include "host/link_dump_linux.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kSequence = 7;

void put16(Bytes& b, std::size_t at, std::uint16_t v)
{
    std::memcpy(b.data() + at, &v, 2);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}
void pad4(Bytes& b)
{
    while (b.size() % 4) b.push_back(0);
}

// The header and the payload are placed into a buffer of their full size at once: GCC 12 at -O3
// takes the growth of a 4- or 16-byte vector by insert for a write past its end.
Bytes attribute(std::uint16_t type, const Bytes& payload)
{
    Bytes a(4 + payload.size());
    put16(a, 0, static_cast<std::uint16_t>(a.size()));
    put16(a, 2, type);
    std::copy(payload.begin(), payload.end(), a.begin() + 4);
    pad4(a);
    return a;
}

Bytes message(std::uint16_t type, std::uint16_t flags, const Bytes& body, std::uint32_t sequence = kSequence)
{
    Bytes m(16 + body.size());
    put32(m, 0, static_cast<std::uint32_t>(m.size()));
    put16(m, 4, type);
    put16(m, 6, flags);
    put32(m, 8, sequence);
    std::copy(body.begin(), body.end(), m.begin() + 16);
    pad4(m);
    return m;
}

Bytes link(std::int32_t index, std::uint16_t hardware_type, const std::vector<Bytes>& attributes,
           std::uint16_t flags = NLM_F_MULTI, std::uint32_t sequence = kSequence)
{
    Bytes body(16);
    body[0] = AF_UNSPEC;
    put16(body, 2, hardware_type);
    put32(body, 4, static_cast<std::uint32_t>(index));
    for (const Bytes& a : attributes) body.insert(body.end(), a.begin(), a.end());
    return message(RTM_NEWLINK, flags, body, sequence);
}

Bytes done(std::int32_t error = 0, std::uint16_t flags = NLM_F_MULTI, std::uint32_t sequence = kSequence)
{
    Bytes body(4);
    put32(body, 0, static_cast<std::uint32_t>(error));
    return message(NLMSG_DONE, flags, body, sequence);
}

Bytes join(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Bytes kName{'e', 't', 'h', '0', 0};  // five bytes, so the next attribute sits behind padding

// Decodes from an allocation of exactly the datagram's size.
LinkDumpStatus decode(const Bytes& datagram, std::vector<LinkRecord>& links, bool& interrupted)
{
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[datagram.size()]);
    std::copy(datagram.begin(), datagram.end(), exact.get());
    return decode_link_messages(exact.get(), datagram.size(), kSequence, links, interrupted);
}

LinkDumpStatus decode(const Bytes& datagram, std::vector<LinkRecord>& links)
{
    bool interrupted = false;
    return decode(datagram, links, interrupted);
}

TEST(LinkDump, DecodesLinksInTheirMessageOrder)
{
    const Bytes datagram = join({
        link(1, ARPHRD_LOOPBACK, {attribute(IFLA_IFNAME, {'l', 'o', 0}), attribute(IFLA_ADDRESS, Bytes(6, 0))}),
        link(9, ARPHRD_ETHER,
             {attribute(IFLA_IFNAME, kName), attribute(IFLA_ADDRESS, kMac), attribute(IFLA_BROADCAST, Bytes(6, 0xFF))}),
        link(3, ARPHRD_NONE, {attribute(IFLA_IFNAME, {'t', 'u', 'n', 0})}),
        done(),
    });
    std::vector<LinkRecord> links;
    ASSERT_EQ(decode(datagram, links), LinkDumpStatus::done);
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].index, 1);
    EXPECT_EQ(links[0].hardware_type, ARPHRD_LOOPBACK);
    EXPECT_EQ(links[0].address, Bytes(6, 0));
    EXPECT_EQ(links[1].index, 9);
    EXPECT_EQ(links[1].hardware_type, ARPHRD_ETHER);
    EXPECT_TRUE(links[1].has_address);
    EXPECT_EQ(links[1].address, kMac);  // the broadcast attribute behind it is not taken for it
    EXPECT_EQ(links[2].index, 3);
    EXPECT_FALSE(links[2].has_address);
}

TEST(LinkDump, KeepsTheAddressLengthTheKernelReports)
{
    const Bytes infiniband(20, 0xAB);
    const Bytes datagram = join({link(4, ARPHRD_INFINIBAND, {attribute(IFLA_ADDRESS, infiniband)}),
                                 link(5, ARPHRD_ETHER, {attribute(IFLA_ADDRESS, {0x02, 0x03})}),
                                 link(6, ARPHRD_ETHER, {attribute(IFLA_ADDRESS, {})})});
    std::vector<LinkRecord> links;
    ASSERT_EQ(decode(datagram, links), LinkDumpStatus::more);  // no end of dump yet
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].address, infiniband);
    EXPECT_EQ(links[1].address, (Bytes{0x02, 0x03}));
    EXPECT_TRUE(links[2].has_address);
    EXPECT_TRUE(links[2].address.empty());
}

struct StatusCase {
    const char* name;
    Bytes datagram;
    LinkDumpStatus expected;
    std::size_t links;
    bool interrupted = false;
};

class LinkDumpStatusTable : public testing::TestWithParam<StatusCase> {};

TEST_P(LinkDumpStatusTable, ReportsTheDumpState)
{
    std::vector<LinkRecord> links;
    bool interrupted = false;
    EXPECT_EQ(decode(GetParam().datagram, links, interrupted), GetParam().expected);
    EXPECT_EQ(links.size(), GetParam().links);
    EXPECT_EQ(interrupted, GetParam().interrupted);
}

Bytes with_u32(Bytes b, std::size_t at, std::uint32_t v)
{
    put32(b, at, v);
    return b;
}
Bytes with_u16(Bytes b, std::size_t at, std::uint16_t v)
{
    put16(b, at, v);
    return b;
}

const Bytes kEtherLink = link(2, ARPHRD_ETHER, {attribute(IFLA_ADDRESS, kMac)});  // 16 + 16 + 12 bytes

const StatusCase kStatusCases[] = {
    {"empty_datagram_wants_more", {}, LinkDumpStatus::more, 0},
    {"done_ends", join({kEtherLink, done()}), LinkDumpStatus::done, 1},
    {"done_without_error_field_ends", message(NLMSG_DONE, NLM_F_MULTI, {}), LinkDumpStatus::done, 0},
    {"done_with_error_fails", join({kEtherLink, done(-4)}), LinkDumpStatus::failed, 1},
    {"error_message_fails", message(NLMSG_ERROR, 0, Bytes(20, 0xFF)), LinkDumpStatus::failed, 0},
    {"interrupted_dump_is_reported", join({link(2, ARPHRD_ETHER, {}, NLM_F_MULTI | NLM_F_DUMP_INTR), done()}),
     LinkDumpStatus::done, 1, true},
    {"interruption_without_end_wants_more", link(2, ARPHRD_ETHER, {}, NLM_F_MULTI | NLM_F_DUMP_INTR),
     LinkDumpStatus::more, 1, true},
    {"interruption_of_another_request_ignored",
     join({link(2, ARPHRD_ETHER, {}, NLM_F_MULTI | NLM_F_DUMP_INTR, 99), done()}), LinkDumpStatus::done, 0, false},
    {"other_request_passed_over",
     join({link(2, ARPHRD_ETHER, {}, NLM_F_MULTI, 99), done(0, NLM_F_MULTI, 99), kEtherLink}), LinkDumpStatus::more, 1},
    {"other_message_types_passed_over",
     join({message(NLMSG_NOOP, 0, {}), message(RTM_NEWADDR, 0, Bytes(8)), kEtherLink}), LinkDumpStatus::more, 1},
    {"message_length_below_header_fails", with_u32(kEtherLink, 0, 15), LinkDumpStatus::failed, 0},
    {"message_length_zero_fails", with_u32(kEtherLink, 0, 0), LinkDumpStatus::failed, 0},
    {"message_longer_than_datagram_fails", with_u32(kEtherLink, 0, 45), LinkDumpStatus::failed, 0},
    {"trailing_partial_header_fails", join({kEtherLink, Bytes(8, 0)}), LinkDumpStatus::failed, 1},
    {"link_message_without_full_info_fails", with_u32(kEtherLink, 0, 28), LinkDumpStatus::failed, 0},
    {"attribute_length_below_header_fails", with_u16(kEtherLink, 32, 3), LinkDumpStatus::failed, 0},
    {"attribute_longer_than_message_fails", with_u16(kEtherLink, 32, 13), LinkDumpStatus::failed, 0},
    {"datagram_cut_inside_message_fails", Bytes(kEtherLink.begin(), kEtherLink.end() - 2), LinkDumpStatus::failed, 0},
    {"last_message_without_padding_accepted", with_u32(Bytes(kEtherLink.begin(), kEtherLink.end() - 2), 0, 42),
     LinkDumpStatus::more, 1},
};

INSTANTIATE_TEST_SUITE_P(Datagrams, LinkDumpStatusTable, testing::ValuesIn(kStatusCases),
                         [](const testing::TestParamInfo<StatusCase>& info) { return info.param.name; });

TEST(LinkDump, InterruptionInAnEarlierDatagramOutlastsTheEnd)
{
    std::vector<LinkRecord> links;
    bool interrupted = false;
    EXPECT_EQ(decode(link(2, ARPHRD_ETHER, {}, NLM_F_MULTI | NLM_F_DUMP_INTR), links, interrupted),
              LinkDumpStatus::more);
    EXPECT_EQ(decode(join({link(3, ARPHRD_ETHER, {}), done()}), links, interrupted), LinkDumpStatus::done);
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(links.size(), 2u);
}

// Every prefix and every single-byte corruption of a real-looking dump decodes without a read outside
// the datagram (AddressSanitizer watches) and never yields a link with a longer address than was sent.
TEST(LinkDump, SurvivesTruncationAndCorruption)
{
    const Bytes datagram = join({
        link(1, ARPHRD_LOOPBACK, {attribute(IFLA_IFNAME, {'l', 'o', 0}), attribute(IFLA_ADDRESS, Bytes(6, 0))}),
        link(2, ARPHRD_ETHER, {attribute(IFLA_IFNAME, kName), attribute(IFLA_ADDRESS, kMac)}),
        done(),
    });
    for (std::size_t length = 0; length <= datagram.size(); ++length) {
        std::vector<LinkRecord> links;
        decode(Bytes(datagram.begin(), datagram.begin() + static_cast<std::ptrdiff_t>(length)), links);
        for (const LinkRecord& l : links) EXPECT_LE(l.address.size(), length);
    }
    for (std::size_t at = 0; at < datagram.size(); ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x03, 0x7F, 0xFF}) {
            Bytes broken = datagram;
            broken[at] = value;
            std::vector<LinkRecord> links;
            decode(broken, links);
            for (const LinkRecord& l : links) EXPECT_LE(l.address.size(), datagram.size());
        }
    }
}

struct TypeCase {
    std::uint16_t hardware_type;
    bool wireless;
    std::int32_t if_type;
};

TEST(LinkDump, OnlyWiredEthernetLinksCountAsEthernetCsmacd)
{
    const TypeCase cases[] = {{ARPHRD_ETHER, false, 6},  {ARPHRD_ETHER, true, 71},     {ARPHRD_LOOPBACK, false, 24},
                              {ARPHRD_NONE, false, 1},   {ARPHRD_IEEE80211, false, 1}, {ARPHRD_INFINIBAND, false, 1},
                              {ARPHRD_TUNNEL, false, 1}, {ARPHRD_IEEE802, false, 1},   {ARPHRD_VOID, false, 1}};
    for (const TypeCase& c : cases) {
        LinkRecord record;
        record.hardware_type = c.hardware_type;
        record.wireless = c.wireless;
        EXPECT_EQ(interface_type_of(record), c.if_type) << c.hardware_type << " wireless " << c.wireless;
    }
}

// Whole dumps as a host's kernel sends them, through the decoder, the sysfs marks (given by name here),
// the index order and the selection: the address the window program would send.
Bytes linkinfo(const char* kind)
{
    Bytes name(kind, kind + std::strlen(kind) + 1);
    return attribute(IFLA_LINKINFO, attribute(IFLA_INFO_KIND, name));
}

Bytes host_link(std::int32_t index, const char* name, const Bytes& mac, std::uint32_t if_flags,
                std::vector<Bytes> more = {}, std::uint16_t hardware_type = ARPHRD_ETHER)
{
    std::vector<Bytes> attributes{attribute(IFLA_IFNAME, Bytes(name, name + std::strlen(name) + 1)),
                                  attribute(IFLA_ADDRESS, mac), attribute(IFLA_BROADCAST, Bytes(mac.size(), 0xFF))};
    attributes.insert(attributes.end(), more.begin(), more.end());
    Bytes m = link(index, hardware_type, attributes);
    put32(m, 16 + 8, if_flags);
    return m;
}

Bytes u32_value(std::uint32_t v)
{
    Bytes b(4);
    put32(b, 0, v);
    return b;
}

constexpr std::uint32_t kUp = IFF_UP | IFF_BROADCAST | IFF_RUNNING | IFF_MULTICAST;
constexpr std::uint32_t kDown = IFF_BROADCAST | IFF_MULTICAST;
const Bytes kWired{0x8C, 0x16, 0x45, 0x01, 0x02, 0x03};
const Bytes kWifi{0x3C, 0x6A, 0xA7, 0x04, 0x05, 0x06};
const Bytes kDocker{0x02, 0x42, 0xAC, 0x11, 0x00, 0x01};
const Bytes kVeth{0x9A, 0x01, 0x02, 0x03, 0x04, 0x05};
const Bytes kBond{0x00, 0x25, 0x90, 0x0A, 0x0B, 0x0C};
const Bytes kLoopbackLink = host_link(1, "lo", Bytes(6, 0), IFF_UP | IFF_LOOPBACK, {}, ARPHRD_LOOPBACK);

struct HostCase {
    const char* name;
    std::vector<Bytes> datagrams;  // the dump's datagrams in the order they come
    std::vector<std::string> wireless;
    Bytes expected;
};

class HostDumpTable : public testing::TestWithParam<HostCase> {};

TEST_P(HostDumpTable, ChoosesTheAddressWindowsWould)
{
    std::vector<LinkRecord> links;
    bool interrupted = false;
    for (const Bytes& datagram : GetParam().datagrams)
        if (decode(datagram, links, interrupted) != LinkDumpStatus::more) break;
    for (LinkRecord& l : links)
        l.wireless =
            std::find(GetParam().wireless.begin(), GetParam().wireless.end(), l.name) != GetParam().wireless.end();
    HardwareAddress chosen{};
    visit_link_rows(
        links,
        [](const InterfaceRow& row, void* context) {
            take_interface_row(row, *static_cast<HardwareAddress*>(context));
        },
        &chosen);
    EXPECT_EQ(Bytes(chosen.begin(), chosen.end()), GetParam().expected);
}

const HostCase kHostCases[] = {
    // Wi-Fi has the highest index and is the link in use, but Windows would send the wired address.
    {"laptop_wired_unplugged_and_wifi",
     {join({kLoopbackLink, host_link(2, "enp0s31f6", kWired, kDown), host_link(3, "wlp2s0", kWifi, kUp), done()})},
     {"wlp2s0"},
     kWired},
    // docker0 is a virtual Ethernet bridge, as a Hyper-V switch is on Windows, and comes last; down without containers.
    {"laptop_with_docker0",
     {join({kLoopbackLink, host_link(2, "enp0s31f6", kWired, kUp), host_link(3, "wlp2s0", kWifi, kUp)}),
      join({host_link(4, "docker0", kDocker, kDown, {linkinfo("bridge")}), done()})},
     {"wlp2s0"},
     kDocker},
    {"laptop_with_a_container_veth_listed_first",
     {join({host_link(7, "veth1a2b3c", kVeth, kUp, {linkinfo("veth"), attribute(IFLA_MASTER, u32_value(4))}),
            kLoopbackLink, host_link(3, "wlp2s0", kWifi, kUp), host_link(2, "enp0s31f6", kWired, kUp),
            host_link(4, "docker0", kDocker, kUp, {linkinfo("bridge")}), done()})},
     {"wlp2s0"},
     kVeth},
    {"laptop_with_wifi_only",
     {join({kLoopbackLink, host_link(2, "wlp2s0", kWifi, kUp), done()})},
     {"wlp2s0"},
     Bytes(6, 0)},
    // The bond's slaves carry the bond's address; the VLANs on it too. The IPMI port sits on index 2.
    {"server_with_bond_and_vlans",
     {join({kLoopbackLink, host_link(2, "eno1", kBond, kUp, {attribute(IFLA_MASTER, u32_value(4))}),
            host_link(3, "eno2", kBond, kUp, {attribute(IFLA_MASTER, u32_value(4))})}),
      join({host_link(4, "bond0", kBond, kUp | IFF_MASTER, {linkinfo("bond")}),
            host_link(5, "bond0.10", kBond, kUp, {linkinfo("vlan"), attribute(IFLA_LINK, u32_value(4))}),
            host_link(6, "bond0.20", kBond, kUp, {linkinfo("vlan"), attribute(IFLA_LINK, u32_value(4))}), done()})},
     {},
     kBond},
    {"server_bond_vlan_down_still_counts",
     {join({kLoopbackLink, host_link(4, "bond0", kBond, kUp | IFF_MASTER, {linkinfo("bond")}),
            host_link(5, "bond0.30", {0x02, 0x00, 0x00, 0x00, 0x00, 0x30}, kDown, {linkinfo("vlan")}), done()})},
     {},
     {0x02, 0x00, 0x00, 0x00, 0x00, 0x30}},
    // The dump breaks off in its second datagram: the rows found so far still choose.
    {"broken_dump_keeps_rows_so_far",
     {join({kLoopbackLink, host_link(2, "enp0s31f6", kWired, kUp)}),
      join({host_link(3, "enp0s20f0", kVeth, kUp), message(NLMSG_ERROR, 0, Bytes(20, 0xFF))})},
     {},
     kVeth},
};

INSTANTIATE_TEST_SUITE_P(Hosts, HostDumpTable, testing::ValuesIn(kHostCases),
                         [](const testing::TestParamInfo<HostCase>& info) { return info.param.name; });

// The host's own table, read without any privilege: it always holds loopback, which is never taken.
TEST(LinkDump, ReadsTheHostTable)
{
    int rows = 0;
    int loopbacks = 0;
    struct Count {
        int* rows;
        int* loopbacks;
    } count{&rows, &loopbacks};
    ASSERT_TRUE(read_interface_rows(
        [](const InterfaceRow& row, void* context) {
            auto* c = static_cast<Count*>(context);
            ++*c->rows;
            if (row.type == kIfTypeSoftwareLoopback) ++*c->loopbacks;
        },
        &count));
    EXPECT_GE(rows, 1);
    EXPECT_EQ(loopbacks, 1);
}

}  // namespace
