// Linux: the kernel's link and address tables through rtnetlink dumps, and the decoder of their messages.
//
// Netlink rather than getifaddrs(AF_PACKET): both come from the same RTM_GETLINK dump, whose order is the
// kernel's walk of its device table (older kernels walk an index hash, not the index order), so the rows
// are sorted by index here either way. Netlink gives one record per link with the index, the ARPHRD type
// and the address at the length the kernel reports, every length checked here, and it says when the
// table changed during the dump, which is then repeated.
#include "host/link_dump_linux.h"

#include <linux/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "host/interface_rows.h"

namespace {

// Wire sizes of the kernel's records; fields are read at these offsets, never through the structs.
constexpr std::size_t kMessageHeaderSize = 16;   // u32 len, u16 type, u16 flags, u32 seq, u32 pid
constexpr std::size_t kLinkInfoSize = 16;        // u8 family, u8 pad, u16 type, i32 index, u32 flags, u32 change
constexpr std::size_t kAddressInfoSize = 8;      // u8 family, u8 prefix length, u8 flags, u8 scope, u32 index
constexpr std::size_t kAttributeHeaderSize = 4;  // u16 len, u16 type
static_assert(sizeof(nlmsghdr) == kMessageHeaderSize);
static_assert(sizeof(ifinfomsg) == kLinkInfoSize);
static_assert(sizeof(ifaddrmsg) == kAddressInfoSize);
static_assert(sizeof(rtattr) == kAttributeHeaderSize);

// A dump repeated this often and still interrupted by table changes is given up.
constexpr std::uint32_t kDumpAttempts = 3;

// Netlink fields are in host byte order.
std::uint16_t read_u16(const std::uint8_t* p)
{
    std::uint16_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::uint32_t read_u32(const std::uint8_t* p)
{
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::size_t align4(std::size_t n)
{
    return (n + 3) & ~std::size_t{3};
}

// Calls take(type, value, value length) for each attribute of one message; false when one does not fit.
template <typename Take>
bool for_each_attribute(const std::uint8_t* p, std::size_t length, Take take)
{
    std::size_t offset = 0;
    while (length - offset >= kAttributeHeaderSize) {
        const std::size_t attribute_length = read_u16(p + offset);
        const std::uint16_t type = read_u16(p + offset + 2) & NLA_TYPE_MASK;
        if (attribute_length < kAttributeHeaderSize || attribute_length > length - offset) return false;
        take(type, p + offset + kAttributeHeaderSize, attribute_length - kAttributeHeaderSize);
        offset += std::min(align4(attribute_length), length - offset);
    }
    return true;
}

// A name attribute: its bytes up to the first NUL, or all of them.
std::string attribute_text(const std::uint8_t* value, std::size_t length)
{
    std::size_t end = 0;
    while (end < length && value[end] != 0) ++end;
    return std::string(reinterpret_cast<const char*>(value), end);
}

// Decodes one RTM_NEWLINK message of length bytes; false when it is too short for what it claims.
bool decode_link_message(const std::uint8_t* p, std::size_t length, std::vector<LinkRecord>& links)
{
    if (length < kMessageHeaderSize + kLinkInfoSize) return false;
    const std::uint8_t* info = p + kMessageHeaderSize;
    LinkRecord link;
    link.hardware_type = read_u16(info + 2);
    link.index = static_cast<std::int32_t>(read_u32(info + 4));
    link.flags = read_u32(info + 8);
    const std::size_t attributes = kMessageHeaderSize + align4(kLinkInfoSize);
    const bool fits = for_each_attribute(p + attributes, length - attributes,
                                         [&link](std::uint16_t type, const std::uint8_t* value, std::size_t size) {
                                             if (type == IFLA_ADDRESS) {
                                                 link.has_address = true;
                                                 link.address.assign(value, value + size);
                                             } else if (type == IFLA_IFNAME) {
                                                 link.name = attribute_text(value, size);
                                             }
                                         });
    if (!fits) return false;
    links.push_back(std::move(link));
    return true;
}

// Decodes one RTM_NEWADDR message of length bytes; false when it is too short for what it claims.
bool decode_address_message(const std::uint8_t* p, std::size_t length, std::vector<AddressRecord>& addresses)
{
    if (length < kMessageHeaderSize + kAddressInfoSize) return false;
    const std::uint8_t* info = p + kMessageHeaderSize;
    AddressRecord address;
    address.family = info[0];
    address.prefix_length = info[1];
    address.scope = info[3];
    address.index = static_cast<std::int32_t>(read_u32(info + 4));
    std::vector<std::uint8_t> local, peer;
    const std::size_t attributes = kMessageHeaderSize + align4(kAddressInfoSize);
    const bool fits = for_each_attribute(p + attributes, length - attributes,
                                         [&](std::uint16_t type, const std::uint8_t* value, std::size_t size) {
                                             if (type == IFA_LOCAL) local.assign(value, value + size);
                                             if (type == IFA_ADDRESS) peer.assign(value, value + size);
                                         });
    if (!fits) return false;
    // On a point-to-point link IFA_ADDRESS is the far end; IFA_LOCAL, when present, is ours.
    address.address = local.empty() ? peer : local;
    addresses.push_back(std::move(address));
    return true;
}

// Sends a dump request of type for family; the sequence number it carries comes back in every answer.
bool request_dump(int fd, std::uint16_t type, std::uint8_t family, std::uint32_t sequence)
{
    // The link request's body (ifinfomsg) is the longer one; an address request reads only its first byte.
    std::uint8_t request[kMessageHeaderSize + kLinkInfoSize] = {};
    const std::uint32_t length = sizeof request;
    const std::uint16_t flags = NLM_F_REQUEST | NLM_F_DUMP;
    std::memcpy(request, &length, 4);
    std::memcpy(request + 4, &type, 2);
    std::memcpy(request + 6, &flags, 2);
    std::memcpy(request + 8, &sequence, 4);
    request[kMessageHeaderSize] = family;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) ==
           static_cast<ssize_t>(sizeof request);
}

// Reads one datagram of the answer whole, however long it is; false on an error.
bool receive_dump_part(int fd, std::vector<std::uint8_t>& buffer, std::size_t& length)
{
    for (;;) {
        sockaddr_nl sender{};
        iovec part{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        const ssize_t received = recvmsg(fd, &message, MSG_PEEK | MSG_TRUNC);
        if (received < 0 && errno == EINTR) continue;
        if (received < 0) return false;
        if (static_cast<std::size_t>(received) > buffer.size()) {
            buffer.resize(static_cast<std::size_t>(received));
            continue;
        }
        if (recv(fd, buffer.data(), buffer.size(), 0) != received) return false;
        // Only the kernel speaks for its tables.
        if (message.msg_namelen < sizeof sender || sender.nl_pid != 0) {
            length = 0;
            return true;
        }
        length = static_cast<std::size_t>(received);
        return true;
    }
}

// One whole dump; interrupted tells whether the kernel's table changed while it ran.
LinkDumpStatus dump_once(int fd, std::uint16_t type, std::uint8_t family, std::uint32_t sequence, DumpRecords& records,
                         bool& interrupted)
{
    records = DumpRecords{};
    interrupted = false;
    if (!request_dump(fd, type, family, sequence)) return LinkDumpStatus::failed;
    std::vector<std::uint8_t> buffer(32768);
    for (;;) {
        std::size_t length = 0;
        if (!receive_dump_part(fd, buffer, length)) return LinkDumpStatus::failed;
        const LinkDumpStatus status = decode_dump_messages(buffer.data(), length, sequence, records, interrupted);
        if (status != LinkDumpStatus::more) return status;
    }
}

// A dump of type, repeated while changes to the table interrupt it. records keeps the last whole answer,
// interrupted or not; a failed attempt leaves the records it got before the failure only when no whole
// answer came before it, so a failure still hands on the rows found so far.
bool dump_table(std::uint16_t type, std::uint8_t family, DumpRecords& records)
{
    records = DumpRecords{};
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return false;
    // The kernel answers at once; a wait this long means something is wrong, not slow.
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    bool whole = false;
    bool complete = false;
    for (std::uint32_t attempt = 1; attempt <= kDumpAttempts && !complete; ++attempt) {
        DumpRecords answer;
        bool interrupted = false;
        const LinkDumpStatus status = dump_once(fd, type, family, attempt, answer, interrupted);
        if (status == LinkDumpStatus::failed) {
            if (!whole) records = std::move(answer);
            break;
        }
        records = std::move(answer);
        whole = true;
        complete = !interrupted;
    }
    close(fd);
    return complete;
}

}  // namespace

bool dump_links(std::vector<LinkRecord>& links)
{
    DumpRecords records;
    // Every link of every family.
    const bool complete = dump_table(RTM_GETLINK, AF_UNSPEC, records);
    links = std::move(records.links);
    return complete;
}

bool dump_addresses(std::uint8_t family, std::vector<AddressRecord>& addresses)
{
    DumpRecords records;
    const bool complete = dump_table(RTM_GETADDR, family, records);
    addresses = std::move(records.addresses);
    return complete;
}

LinkDumpStatus decode_link_messages(const std::uint8_t* data, std::size_t length, std::uint32_t sequence,
                                    std::vector<LinkRecord>& links, bool& interrupted)
{
    DumpRecords records;
    records.links = std::move(links);
    const LinkDumpStatus status = decode_dump_messages(data, length, sequence, records, interrupted);
    links = std::move(records.links);
    return status;
}

LinkDumpStatus decode_dump_messages(const std::uint8_t* data, std::size_t length, std::uint32_t sequence,
                                    DumpRecords& records, bool& interrupted)
{
    std::size_t offset = 0;
    while (offset < length) {
        if (length - offset < kMessageHeaderSize) return LinkDumpStatus::failed;
        const std::uint8_t* p = data + offset;
        const std::size_t message_length = read_u32(p);
        const std::uint16_t type = read_u16(p + 4);
        const std::uint16_t flags = read_u16(p + 6);
        if (message_length < kMessageHeaderSize || message_length > length - offset) return LinkDumpStatus::failed;
        offset += std::min(align4(message_length), length - offset);
        if (read_u32(p + 8) != sequence) continue;
        if (flags & NLM_F_DUMP_INTR) interrupted = true;
        if (type == NLMSG_ERROR) return LinkDumpStatus::failed;
        if (type == NLMSG_DONE) {
            // The end of a dump carries the dump's own error code, zero when every link was sent.
            if (message_length >= kMessageHeaderSize + 4 && read_u32(p + kMessageHeaderSize) != 0)
                return LinkDumpStatus::failed;
            return LinkDumpStatus::done;
        }
        if (type == RTM_NEWLINK && !decode_link_message(p, message_length, records.links))
            return LinkDumpStatus::failed;
        if (type == RTM_NEWADDR && !decode_address_message(p, message_length, records.addresses))
            return LinkDumpStatus::failed;
    }
    return LinkDumpStatus::more;
}

std::int32_t interface_type_of(const LinkRecord& link)
{
    switch (link.hardware_type) {
        case ARPHRD_ETHER: return link.wireless ? kIfTypeIeee80211 : kIfTypeEthernetCsmacd;
        case ARPHRD_LOOPBACK: return kIfTypeSoftwareLoopback;
        default: return kIfTypeOther;
    }
}
