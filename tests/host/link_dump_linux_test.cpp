// The decoder of the kernel's link dump, fed with built and with broken messages.
#include <gtest/gtest.h>
#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <algorithm>
#include <cstring>
#include <memory>
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
    std::int32_t if_type;
};

TEST(LinkDump, OnlyEthernetLinksCountAsEthernetCsmacd)
{
    const TypeCase cases[] = {{ARPHRD_ETHER, 6},      {ARPHRD_LOOPBACK, 24}, {ARPHRD_NONE, 1},    {ARPHRD_IEEE80211, 1},
                              {ARPHRD_INFINIBAND, 1}, {ARPHRD_TUNNEL, 1},    {ARPHRD_IEEE802, 1}, {ARPHRD_VOID, 1}};
    LinkRecord record;
    for (const TypeCase& c : cases) {
        record.hardware_type = c.hardware_type;
        EXPECT_EQ(interface_type_of(record), c.if_type) << c.hardware_type;
    }
}

// Whole dumps as hosts send them, Wi-Fi marked by name as sysfs would: the address the window program sends.
Bytes host_link(std::int32_t index, const char* name, std::uint8_t mac, const char* kind = "")
{
    const auto text = [](const char* t) { return Bytes(t, t + std::strlen(t) + 1); };
    return link(index, ARPHRD_ETHER,
                {attribute(IFLA_IFNAME, text(name)), attribute(IFLA_ADDRESS, {2, 0, 0, 0, 0, mac}),
                 attribute(IFLA_LINKINFO, attribute(IFLA_INFO_KIND, text(kind)))});
}

TEST(LinkDump, ChoosesTheAddressWindowsWouldOnEachHost)
{
    const Bytes lo = link(1, ARPHRD_LOOPBACK, {});
    const std::pair<std::vector<Bytes>, std::uint8_t> hosts[] = {
        // A laptop with docker0 listed first and Wi-Fi last; a server with a bond and VLANs; a dump that breaks off.
        {{join({host_link(4, "docker0", 4, "bridge"), lo, host_link(5, "wlp2s0", 5)}),
          join({host_link(2, "enp0s31f6", 2), done()})},
         4},
        {{join({lo, host_link(2, "eno1", 4), host_link(3, "eno2", 4), host_link(4, "bond0", 4, "bond"),
                host_link(5, "bond0.10", 4, "vlan"), host_link(6, "bond0.30", 6, "vlan"), done()})},
         6},
        {{join({lo, host_link(2, "eno1", 2)}), join({host_link(3, "eno2", 3), done(-4), host_link(4, "x", 4)})}, 3}};
    for (const auto& [datagrams, expected] : hosts) {
        std::vector<LinkRecord> links;
        for (const Bytes& datagram : datagrams)
            if (decode(datagram, links) != LinkDumpStatus::more) break;
        for (LinkRecord& l : links) l.wireless = l.name.rfind("wl", 0) == 0;
        HardwareAddress chosen{};
        visit_link_rows(
            links, [](const InterfaceRow& r, void* to) { take_interface_row(r, *static_cast<HardwareAddress*>(to)); },
            &chosen);
        EXPECT_EQ(chosen, (HardwareAddress{2, 0, 0, 0, 0, expected}));
    }
}

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
