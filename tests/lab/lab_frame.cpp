// Whole Ethernet frames for the lab's packet-socket equipment (Linux): framing, checksums and the socket.
#include "lab_frame.h"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool lab_parse_mac(const char* text, LabMac& mac)
{
    unsigned int octets[6];
    char extra = 0;
    if (std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x%c", &octets[0], &octets[1], &octets[2], &octets[3], &octets[4],
                    &octets[5], &extra) != 6)
        return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(octets[i]);
    return true;
}

bool lab_parse_ip(const char* text, LabIp& ip)
{
    return inet_pton(AF_INET, text, ip.data()) == 1;
}

std::uint32_t lab_sum(const std::uint8_t* bytes, std::size_t length, std::uint32_t sum)
{
    for (std::size_t i = 0; i + 1 < length; i += 2) sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
    if (length % 2 != 0) sum += static_cast<std::uint32_t>(bytes[length - 1] << 8);
    return sum;
}

std::uint16_t lab_fold(std::uint32_t sum)
{
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::vector<std::uint8_t> lab_udp_frame(const LabMac& target_mac, const LabMac& source_mac, int vid,
                                        const LabIp& source_ip, const LabIp& target_ip, int source_port,
                                        int target_port, const std::vector<std::uint8_t>& payload)
{
    const std::size_t link = kLabEthernetHeader + (vid != 0 ? kLabVlanTag : 0);
    const std::size_t udp_length = 8 + payload.size();
    const std::size_t ip_length = 20 + udp_length;
    std::vector<std::uint8_t> frame(link + ip_length, 0);
    std::memcpy(frame.data(), target_mac.data(), 6);
    std::memcpy(frame.data() + 6, source_mac.data(), 6);
    if (vid != 0) {
        put16(frame, 12, ETH_P_8021Q);
        put16(frame, 14, static_cast<std::uint16_t>(vid & 0x0FFF));
    }
    put16(frame, link - 2, ETH_P_IP);

    std::uint8_t* ip = frame.data() + link;
    ip[0] = 0x45;
    put16(frame, link + 2, static_cast<std::uint16_t>(ip_length));
    ip[8] = 64;  // time to live
    ip[9] = 17;  // UDP
    std::memcpy(ip + 12, source_ip.data(), 4);
    std::memcpy(ip + 16, target_ip.data(), 4);
    put16(frame, link + 10, lab_fold(lab_sum(ip, 20, 0)));

    const std::size_t udp = link + 20;
    put16(frame, udp, static_cast<std::uint16_t>(source_port));
    put16(frame, udp + 2, static_cast<std::uint16_t>(target_port));
    put16(frame, udp + 4, static_cast<std::uint16_t>(udp_length));
    std::memcpy(frame.data() + udp + 8, payload.data(), payload.size());
    // The pseudo-header: both addresses, the protocol and the UDP length.
    std::uint32_t sum = lab_sum(ip + 12, 8, 17 + static_cast<std::uint32_t>(udp_length));
    std::uint16_t checksum = lab_fold(lab_sum(frame.data() + udp, udp_length, sum));
    put16(frame, udp + 6, checksum == 0 ? 0xFFFF : checksum);  // 0 would mean "no checksum"
    return frame;
}

int lab_open_packet_socket(const char* interface_name, LabMac* own_mac, bool promiscuous)
{
    const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    if (fd < 0) {
        std::perror("packet socket");
        return -1;
    }
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ALL);
    link.sll_ifindex = static_cast<int>(if_nametoindex(interface_name));
    const int on = 1;
    packet_mreq membership{};
    membership.mr_ifindex = link.sll_ifindex;
    membership.mr_type = PACKET_MR_PROMISC;
    // Bursts of a hundred VLANs' replies arrive at once; the default buffer would drop some.
    const int buffer = 4 << 20;
    if (link.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&link), sizeof link) != 0 ||
        setsockopt(fd, SOL_PACKET, PACKET_AUXDATA, &on, sizeof on) != 0 ||
        (promiscuous && setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) ||
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0) {
        std::fprintf(stderr, "%s: %s\n", interface_name, std::strerror(errno));
        close(fd);
        return -1;
    }
    if (own_mac != nullptr) {
        ifreq request{};
        std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", interface_name);
        if (ioctl(fd, SIOCGIFHWADDR, &request) != 0) {
            std::perror("SIOCGIFHWADDR");
            close(fd);
            return -1;
        }
        std::memcpy(own_mac->data(), request.ifr_hwaddr.sa_data, 6);
    }
    return fd;
}

bool lab_read_frame(int fd, std::uint8_t* buffer, std::size_t size, LabFrame& frame)
{
    sockaddr_ll from{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(tpacket_auxdata))];
    iovec data{buffer, size};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = recvmsg(fd, &message, MSG_TRUNC | MSG_DONTWAIT);
    if (length < static_cast<ssize_t>(kLabEthernetHeader) || static_cast<std::size_t>(length) > size) return false;
    frame.length = static_cast<std::size_t>(length);
    frame.outgoing = from.sll_pkttype == PACKET_OUTGOING;
    frame.vid = 0;
    bool stripped = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_PACKET || c->cmsg_type != PACKET_AUXDATA) continue;
        tpacket_auxdata aux;
        std::memcpy(&aux, CMSG_DATA(c), sizeof aux);
        if ((aux.tp_status & TP_STATUS_VLAN_VALID) != 0) {
            frame.vid = aux.tp_vlan_tci & 0x0FFF;
            stripped = true;
        }
    }
    // A tag the kernel left in line (an outgoing frame, or a kernel that does not strip) is taken out here.
    if (!stripped && frame.length >= kLabEthernetHeader + kLabVlanTag && buffer[12] == 0x81 && buffer[13] == 0x00) {
        frame.vid = ((buffer[14] << 8) | buffer[15]) & 0x0FFF;
        std::memmove(buffer + 12, buffer + 16, frame.length - 16);
        frame.length -= kLabVlanTag;
    }
    return true;
}

std::size_t lab_insert_tag(std::uint8_t* frame, std::size_t length, int vid)
{
    std::memmove(frame + 16, frame + 12, length - 12);
    frame[12] = 0x81;
    frame[13] = 0x00;
    frame[14] = static_cast<std::uint8_t>((vid >> 8) & 0x0F);
    frame[15] = static_cast<std::uint8_t>(vid & 0xFF);
    return length + kLabVlanTag;
}
