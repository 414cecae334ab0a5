// Sends DHCPDISCOVERs as whole Ethernet frames through a packet socket, one per VLAN, for the lab's trunk tests.
// Usage: lab_frame_send IFACE CHADDR VLANS [--size BYTES] [--source MAC] [--xid HEX]   (run only inside a lab)
//   VLANS: a list such as 0,10,20-30 (0: untagged). Each frame is from 0.0.0.0:68 to 255.255.255.255:67 with the
//   broadcast flag, from the interface's address or --source, with xid HEX+VLAN (default 4f520000+VLAN).
//   --size pads the IP datagram with Pad options up to BYTES, for frames as long as the link allows.
// Prints "sent VLAN XID FRAME_BYTES" per frame.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lab_frame.h"

namespace {

bool parse_vlans(const char* text, std::vector<int>& vlans)
{
    const char* at = text;
    while (*at != '\0') {
        char* end = nullptr;
        const long first = std::strtol(at, &end, 10);
        long last = first;
        if (end == at) return false;
        if (*end == '-') {
            at = end + 1;
            last = std::strtol(at, &end, 10);
            if (end == at) return false;
        }
        if (first < 0 || last > 4094 || first > last) return false;
        for (long vid = first; vid <= last; ++vid) vlans.push_back(static_cast<int>(vid));
        if (*end == ',') ++end;
        at = end;
    }
    return !vlans.empty();
}

std::vector<std::uint8_t> discover(const LabMac& chaddr, std::uint32_t xid, std::size_t payload_size)
{
    std::vector<std::uint8_t> message(236, 0);
    message[0] = 1;  // BOOTREQUEST
    message[1] = 1;
    message[2] = 6;
    for (int i = 0; i < 4; ++i) message[4 + i] = static_cast<std::uint8_t>(xid >> (24 - 8 * i));
    message[10] = 0x80;  // broadcast: the client has no address yet
    std::memcpy(message.data() + 28, chaddr.data(), 6);
    for (const std::uint8_t byte : {0x63, 0x82, 0x53, 0x63, 53, 1, 1, 55, 4, 1, 3, 6, 15}) message.push_back(byte);
    while (message.size() + 1 < payload_size) message.push_back(0);
    message.push_back(255);
    if (message.size() < 300) message.resize(300, 0);  // the BOOTP minimum
    return message;
}

}  // namespace

int main(int argc, char** argv)
{
    LabMac chaddr{};
    std::vector<int> vlans;
    if (argc < 4 || !lab_parse_mac(argv[2], chaddr) || !parse_vlans(argv[3], vlans)) {
        std::fprintf(stderr, "usage: lab_frame_send IFACE CHADDR VLANS [--size BYTES] [--source MAC] [--xid HEX]\n");
        return 2;
    }
    LabMac source{};
    const int fd = lab_open_packet_socket(argv[1], &source, false);
    if (fd < 0) return 1;
    std::size_t ip_size = 0;
    std::uint32_t xid_base = 0x4f520000;
    for (int i = 4; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size") == 0) ip_size = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--xid") == 0)
            xid_base = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 16));
        if (std::strcmp(argv[i], "--source") == 0 && !lab_parse_mac(argv[i + 1], source)) return 2;
    }
    const LabMac broadcast{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const LabIp anywhere{0, 0, 0, 0};
    const LabIp everyone{255, 255, 255, 255};
    int status = 0;
    for (const int vid : vlans) {
        const std::uint32_t xid = xid_base + static_cast<std::uint32_t>(vid);
        const std::vector<std::uint8_t> frame = lab_udp_frame(broadcast, source, vid, anywhere, everyone, 68, 67,
                                                              discover(chaddr, xid, ip_size > 28 ? ip_size - 28 : 0));
        if (send(fd, frame.data(), frame.size(), 0) != static_cast<ssize_t>(frame.size())) {
            std::perror("lab_frame_send");
            status = 1;
            continue;
        }
        std::printf("sent %d %08x %zu\n", vid, xid, frame.size());
    }
    close(fd);
    return status;
}
