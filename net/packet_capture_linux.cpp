// Linux implementation of capture mode's link access: AF_PACKET, a classic BPF filter, a TPACKET_V3 ring.
#include "net/packet_capture.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "net/network_stop_linux.h"
#include "protocol/capture_filter.h"
#include "protocol/ipv6_capture_filter.h"
#include "protocol/reply_capture_filter.h"

// The filter is handed to the kernel as it is laid out in the protocol layer.
static_assert(sizeof(BpfInstruction) == sizeof(sock_filter));
static_assert(offsetof(BpfInstruction, code) == offsetof(sock_filter, code));
static_assert(offsetof(BpfInstruction, jt) == offsetof(sock_filter, jt));
static_assert(offsetof(BpfInstruction, jf) == offsetof(sock_filter, jf));
static_assert(offsetof(BpfInstruction, k) == offsetof(sock_filter, k));
static_assert(kFilterAcceptLength >= 0x40000);

namespace {

// 16 blocks of 256 KiB: room for some ten thousand replies between two looks, and any single frame the
// filter passes. A block goes to the reader when full or after the timeout, so a lone reply waits that long.
constexpr unsigned kBlockSize = 1u << 18;
constexpr unsigned kBlockCount = 16;
constexpr unsigned kFrameSize = 1u << 11;
constexpr unsigned kBlockTimeoutMs = 4;

CaptureOpening failed(PacketCapture& capture, CaptureStep step)
{
    const int error = errno;
    close_packet_capture(capture);
    errno = error;
    return CaptureOpening{step, error};
}

tpacket_block_desc* block_at(const PacketCapture& capture, std::size_t index)
{
    return reinterpret_cast<tpacket_block_desc*>(capture.ring + index * capture.block_size);
}

bool block_ready(const PacketCapture& capture, std::size_t index)
{
    const auto* status = &block_at(capture, index)->hdr.bh1.block_status;
    return (__atomic_load_n(status, __ATOMIC_ACQUIRE) & TP_STATUS_USER) != 0;
}

void release_block(PacketCapture& capture)
{
    __atomic_store_n(&block_at(capture, capture.block)->hdr.bh1.block_status, TP_STATUS_KERNEL, __ATOMIC_RELEASE);
    capture.block = (capture.block + 1) % capture.block_count;
    capture.holding = false;
    capture.packets_left = 0;
}

// Gives every block the kernel has handed over back unread.
void drain(PacketCapture& capture)
{
    for (std::size_t k = 0; k < capture.block_count && block_ready(capture, capture.block); ++k) release_block(capture);
}

// Opens a capture with filter attached first; see open_packet_capture.
CaptureOpening open_filtered_capture(PacketCapture& capture, const CaptureSettings& settings,
                                     std::span<const BpfInstruction> filter)
{
    capture = PacketCapture{};
    if (settings.promiscuous && settings.interface_index == 0) {
        errno = EINVAL;
        return CaptureOpening{CaptureStep::promiscuous, EINVAL};
    }
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (fd < 0) return failed(capture, CaptureStep::socket);
    capture.socket = fd;
    capture.interface_index = settings.interface_index;

    // The filter first: from here on only frames it passes reach this socket.
    sock_fprog program{};
    program.len = static_cast<unsigned short>(filter.size());
    program.filter = reinterpret_cast<sock_filter*>(const_cast<BpfInstruction*>(filter.data()));
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        return failed(capture, CaptureStep::filter);
    // Locked: whoever gets hold of the socket later cannot widen what it reads.
    const int locked = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_LOCK_FILTER, &locked, sizeof locked) != 0)
        return failed(capture, CaptureStep::filter);

    const int version = TPACKET_V3;
    if (setsockopt(fd, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0)
        return failed(capture, CaptureStep::ring);
    tpacket_req3 request{};
    request.tp_block_size = kBlockSize;
    request.tp_block_nr = kBlockCount;
    request.tp_frame_size = kFrameSize;
    request.tp_frame_nr = kBlockSize / kFrameSize * kBlockCount;
    request.tp_retire_blk_tov = kBlockTimeoutMs;
    if (setsockopt(fd, SOL_PACKET, PACKET_RX_RING, &request, sizeof request) != 0)
        return failed(capture, CaptureStep::ring);
    void* ring =
        mmap(nullptr, std::size_t{kBlockSize} * kBlockCount, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_LOCKED, fd, 0);
    if (ring == MAP_FAILED) {
        // Locked pages may be over the limit of an unprivileged user; unlocked ones serve as well.
        ring = mmap(nullptr, std::size_t{kBlockSize} * kBlockCount, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (ring == MAP_FAILED) return failed(capture, CaptureStep::map);
    }
    capture.ring = static_cast<std::uint8_t*>(ring);
    capture.block_size = kBlockSize;
    capture.block_count = kBlockCount;

    sockaddr_ll local{};
    local.sll_family = AF_PACKET;
    local.sll_protocol = htons(ETH_P_ALL);
    local.sll_ifindex = settings.interface_index;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return failed(capture, CaptureStep::bind);
    if (settings.promiscuous) {
        packet_mreq membership{};
        membership.mr_ifindex = settings.interface_index;
        membership.mr_type = PACKET_MR_PROMISC;
        if (setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
            return failed(capture, CaptureStep::promiscuous);
        capture.promiscuous = true;
    }
    // Until the bind, the socket took frames of every interface; none of them is ours to read.
    drain(capture);
    update_capture_counts(capture);
    capture.frames_seen = 0;
    capture.kernel_drops = 0;
    return CaptureOpening{};
}

// The index of the interface that link index is enslaved to (a bridge, a bond), 0 when none, -1 when the kernel's
// link table cannot tell. Asked of rtnetlink, which answers for the network namespace the caller is in.
int master_of(int index)
{
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) return -1;
    struct {
        nlmsghdr header;
        ifinfomsg link;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.link.ifi_family = AF_UNSPEC;
    request.link.ifi_index = index;
    // One link's message with its counters takes a few KiB; the master comes early among its attributes.
    alignas(nlmsghdr) static thread_local std::uint8_t answer[32768];
    ssize_t length = -1;
    if (send(fd, &request, sizeof request, 0) == static_cast<ssize_t>(sizeof request))
        length = recv(fd, answer, sizeof answer, 0);
    close(fd);
    if (length <= 0) return -1;
    // The answer to one link is one message: the link's, or an error.
    const auto* message = reinterpret_cast<const nlmsghdr*>(answer);
    if (static_cast<std::size_t>(length) < sizeof(nlmsghdr) || message->nlmsg_len > static_cast<std::size_t>(length))
        return -1;
    if (message->nlmsg_type != RTM_NEWLINK) return -1;  // an error: no such link, or a refusal
    if (message->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) return -1;
    const auto* link = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
    int attributes_left = static_cast<int>(IFLA_PAYLOAD(message));
    for (const rtattr* attribute = IFLA_RTA(link); RTA_OK(attribute, attributes_left);
         attribute = RTA_NEXT(attribute, attributes_left)) {
        if (attribute->rta_type != IFLA_MASTER || RTA_PAYLOAD(attribute) < sizeof(std::uint32_t)) continue;
        std::uint32_t master = 0;
        std::memcpy(&master, RTA_DATA(attribute), sizeof master);
        return static_cast<int>(master);
    }
    return 0;
}

// Whether the host takes address as its own: one of its addresses, or a broadcast. The kernel lets a socket bind
// only to such an address (a multicast group aside), so a bind that does not reserve a port asks it.
bool host_destination(const Ipv4Address& address)
{
    if (address[0] == 0) return false;  // 0.0.0.0/8 is never a destination, though binding it is allowed
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;
    const int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    std::memcpy(&local.sin_addr.s_addr, address.data(), 4);
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    const bool foreign = !bound && errno == EADDRNOTAVAIL;
    close(fd);
    return !foreign;
}

}  // namespace

bool packet_capture_supported()
{
    return true;
}

CaptureOpening open_packet_capture(PacketCapture& capture, const CaptureSettings& settings)
{
    if (settings.ipv6) {
        std::size_t count = 0;
        const BpfInstruction* ipv6_filter = ipv6_capture_filter(count);
        return open_filtered_capture(capture, settings, std::span<const BpfInstruction>(ipv6_filter, count));
    }
    return open_filtered_capture(capture, settings, kCaptureFilter);
}

CaptureOpening open_reply_capture(PacketCapture& capture)
{
    return open_filtered_capture(capture, CaptureSettings{}, kReplyCaptureFilter);
}

bool wait_for_capture(const PacketCapture& capture)
{
    pollfd waits[2] = {{static_cast<int>(capture.socket), POLLIN, 0}, {network_stop_event(), POLLIN, 0}};
    for (;;) {
        const int ready = poll(waits, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || waits[1].revents != 0) return false;
        if ((waits[0].revents & POLLIN) != 0) return true;
        // An error of the socket: taken, so that the next wait does not return at once again.
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(static_cast<int>(capture.socket), SOL_SOCKET, SO_ERROR, &error, &size);
        errno = error;
        return false;
    }
}

bool taken_by_host(const CapturedDatagram& datagram)
{
    return host_destination(datagram.frame.destination_ip) && master_of(datagram.interface_index) <= 0;
}

void close_packet_capture(PacketCapture& capture)
{
    if (capture.ring != nullptr) munmap(capture.ring, capture.block_size * capture.block_count);
    // Closing drops the promiscuous membership too: the kernel counts it off with the socket.
    if (capture.socket != kNoEndpoint) close(static_cast<int>(capture.socket));
    capture = PacketCapture{};
}

bool next_captured_frame(PacketCapture& capture, CapturedFrame& frame)
{
    if (capture.ring == nullptr) return false;
    // A block read through goes back only now, when its last frame is no longer in use.
    if (capture.holding && capture.packets_left == 0) release_block(capture);
    while (!capture.holding) {
        if (!block_ready(capture, capture.block)) return false;
        const tpacket_block_desc* block = block_at(capture, capture.block);
        capture.holding = true;
        capture.packets_left = block->hdr.bh1.num_pkts;
        capture.next_packet = block->hdr.bh1.offset_to_first_pkt;
        // A block the timeout closed while empty goes straight back.
        if (capture.packets_left == 0) release_block(capture);
    }
    std::uint8_t* base = capture.ring + capture.block * capture.block_size;
    const auto* header = reinterpret_cast<const tpacket3_hdr*>(base + capture.next_packet);
    const auto* link =
        reinterpret_cast<const sockaddr_ll*>(base + capture.next_packet + TPACKET_ALIGN(sizeof(tpacket3_hdr)));
    frame = CapturedFrame{};
    frame.data = base + capture.next_packet + header->tp_mac;
    frame.length = header->tp_snaplen;
    frame.wire_length = header->tp_len;
    if ((header->tp_status & TP_STATUS_VLAN_VALID) != 0) frame.stripped_tci = header->hv1.tp_vlan_tci;
    frame.checksum_unfinished = (header->tp_status & TP_STATUS_CSUMNOTREADY) != 0;
    frame.interface_index = link->sll_ifindex;
    capture.next_packet += header->tp_next_offset;
    capture.packets_left -= 1;
    return true;
}

bool next_captured_datagram(PacketCapture& capture, CapturedDatagram& datagram, FrameCounts& counts)
{
    CapturedFrame frame;
    while (next_captured_frame(capture, frame)) {
        const DecodedFrame decoded =
            decode_frame(frame.data, frame.length, frame.stripped_tci, !frame.checksum_unfinished);
        if (decoded.outcome != FrameOutcome::ok) {
            counts.by_outcome[static_cast<std::size_t>(decoded.outcome)] += 1;
            continue;
        }
        if (decoded.ip_options) counts.ip_options += 1;
        datagram.payload = frame.data + decoded.payload_offset;
        datagram.length = decoded.payload_length;
        datagram.frame = decoded;
        datagram.interface_index = frame.interface_index;
        return true;
    }
    return false;
}

bool update_capture_counts(PacketCapture& capture)
{
    tpacket_stats_v3 stats{};
    socklen_t length = sizeof stats;
    if (getsockopt(static_cast<int>(capture.socket), SOL_PACKET, PACKET_STATISTICS, &stats, &length) != 0) return false;
    // tp_packets counts the dropped ones too.
    capture.frames_seen += stats.tp_packets;
    capture.kernel_drops += stats.tp_drops;
    return true;
}

int send_frame(const PacketCapture& capture, const std::uint8_t* frame, std::size_t length)
{
    if (capture.interface_index == 0 || length < 14) {
        errno = EINVAL;
        return -1;
    }
    sockaddr_ll target{};
    target.sll_family = AF_PACKET;
    target.sll_ifindex = capture.interface_index;
    target.sll_halen = 6;
    std::memcpy(target.sll_addr, frame, 6);
    std::memcpy(&target.sll_protocol, frame + 12, 2);  // the outer EtherType or TPID, in network order
    const ssize_t sent = sendto(static_cast<int>(capture.socket), frame, length, 0,
                                reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent < 0 ? -1 : static_cast<int>(sent);
}
