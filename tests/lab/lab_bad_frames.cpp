// Sends frames that a capture must count but not take as replies, each spoilt in one way, for the probe's capture
// tests (Linux). Usage: lab_bad_frames IFACE TARGET_MAC SOURCE_IP TARGET_IP [KIND...]   (run only inside a lab)
// Each frame carries an OFFER with the probe's transaction id from SOURCE_IP:67 to TARGET_IP:68 for TARGET_MAC, its
// server identifier SOURCE_IP, so that only the spoiling keeps it from being a reply. KINDs (default: all but jumbo):
//   ip-options        a good frame with 4 bytes of IP options (a reply all the same)
//   bad-udp-checksum  bad-ipv4-checksum  bad-ipv4-length  bad-udp-length  fragment  stacked-tags
//   jumbo             a 2000-byte datagram (the link's MTU must allow it)
//   not-dhcp          12 bytes of UDP to port 68
//   request           a plain BOOTP request to 255.255.255.255:67, as another client might send
//   other-station  other-address  other-client  other-transaction
//                     a good offer for another host (Ethernet and IP address), IP address, chaddr or transaction id
// Prints "sent KIND BYTES" per frame.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lab_frame.h"

namespace {

std::vector<std::uint8_t> offer(const LabIp& server, std::size_t size, const LabMac& client)
{
    std::vector<std::uint8_t> message(size < 300 ? 300 : size, 0);
    message[0] = 2;  // BOOTREPLY
    message[1] = 1;
    message[2] = 6;
    std::memcpy(message.data() + 28, client.data(), client.size());
    const std::uint8_t xid[4] = {0x9a, 0x02, 0x00, 0x00};
    std::memcpy(message.data() + 4, xid, 4);
    const std::uint8_t options[] = {0x63, 0x82, 0x53,      0x63,      53,        1,         2,
                                    54,   4,    server[0], server[1], server[2], server[3], 255};
    std::memcpy(message.data() + 236, options, sizeof options);
    return message;
}

void put16(std::vector<std::uint8_t>& frame, std::size_t at, unsigned value)
{
    frame[at] = static_cast<std::uint8_t>(value >> 8);
    frame[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

unsigned get16(const std::vector<std::uint8_t>& frame, std::size_t at)
{
    return static_cast<unsigned>(frame[at] << 8 | frame[at + 1]);
}

// The IPv4 header at ip summed anew after an edit.
void fix_ip_checksum(std::vector<std::uint8_t>& frame, std::size_t ip)
{
    const std::size_t header = static_cast<std::size_t>(frame[ip] & 0x0F) * 4;
    put16(frame, ip + 10, 0);
    put16(frame, ip + 10, lab_fold(lab_sum(frame.data() + ip, header, 0)));
}

}  // namespace

int main(int argc, char** argv)
{
    LabMac target{};
    LabIp source_ip{}, target_ip{};
    if (argc < 5 || !lab_parse_mac(argv[2], target) || !lab_parse_ip(argv[3], source_ip) ||
        !lab_parse_ip(argv[4], target_ip)) {
        std::fprintf(stderr, "usage: lab_bad_frames IFACE TARGET_MAC SOURCE_IP TARGET_IP [KIND...]\n");
        return 2;
    }
    std::vector<std::string> kinds(argv + 5, argv + argc);
    if (kinds.empty())
        kinds = {"ip-options", "bad-udp-checksum", "bad-ipv4-checksum", "bad-ipv4-length", "bad-udp-length",
                 "fragment",   "stacked-tags",     "not-dhcp",          "request"};
    LabMac own{};
    const int fd = lab_open_packet_socket(argv[1], &own, false);
    if (fd < 0) return 1;
    constexpr std::size_t ip = kLabEthernetHeader;
    constexpr std::size_t udp = ip + 20;
    int status = 0;
    for (const std::string& kind : kinds) {
        std::vector<std::uint8_t> frame = lab_udp_frame(target, own, 0, source_ip, target_ip, 67, 68,
                                                        offer(source_ip, kind == "jumbo" ? 1972 : 300, target));
        if (kind == "ip-options") {
            // IHL 6: one word of options (three NOPs and End), the UDP datagram moved behind them.
            const std::uint8_t options[4] = {1, 1, 1, 0};
            frame.insert(frame.begin() + udp, options, options + 4);
            frame[ip] = 0x46;
            put16(frame, ip + 2, get16(frame, ip + 2) + 4);
            fix_ip_checksum(frame, ip);
        } else if (kind == "bad-udp-checksum") {
            frame[udp + 8 + 100] ^= 0x5A;
        } else if (kind == "bad-ipv4-checksum") {
            frame[ip + 8] ^= 0x01;  // the TTL, after the sum
        } else if (kind == "bad-ipv4-length") {
            put16(frame, ip + 2, get16(frame, ip + 2) + 100);
            fix_ip_checksum(frame, ip);
        } else if (kind == "bad-udp-length") {
            put16(frame, udp + 4, get16(frame, udp + 4) - 1);
        } else if (kind == "fragment") {
            put16(frame, ip + 6, 0x2000);  // more fragments follow
            fix_ip_checksum(frame, ip);
        } else if (kind == "stacked-tags") {
            frame = lab_udp_frame(target, own, 5, source_ip, target_ip, 67, 68, offer(source_ip, 300, target));
            const std::uint8_t outer[4] = {0x88, 0xA8, 0x00, 0x64};  // 802.1ad, service VLAN 100
            frame.insert(frame.begin() + 12, outer, outer + 4);
        } else if (kind == "not-dhcp") {
            frame = lab_udp_frame(target, own, 0, source_ip, target_ip, 67, 68, std::vector<std::uint8_t>(12, 0x41));
        } else if (kind == "request") {
            // Plain BOOTP, which the lab's servers do not answer: nothing comes back of it.
            std::vector<std::uint8_t> request(300, 0);
            request[0] = 1;  // BOOTREQUEST
            request[1] = 1;
            request[2] = 6;
            request[4] = 0x4f;
            request[5] = 0x57;
            frame = lab_udp_frame({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, own, 0, {0, 0, 0, 0}, {255, 255, 255, 255}, 68,
                                  67, request);
        } else if (kind.rfind("other-", 0) == 0) {
            LabMac mac = target, chaddr = target;
            LabIp ip = target_ip;
            if (kind == "other-station") mac[5] ^= 1, ip[3] ^= 1, chaddr = mac;
            if (kind == "other-address") ip[3] ^= 1;
            if (kind == "other-client") chaddr[5] ^= 1;
            std::vector<std::uint8_t> message = offer(source_ip, 300, chaddr);
            if (kind == "other-transaction") message[4] ^= 0xFF;
            frame = lab_udp_frame(mac, own, 0, source_ip, ip, 67, 68, message);
        } else if (kind != "jumbo") {
            std::fprintf(stderr, "lab_bad_frames: no kind %s\n", kind.c_str());
            return 2;
        }
        if (send(fd, frame.data(), frame.size(), 0) != static_cast<ssize_t>(frame.size())) {
            std::perror(kind.c_str());
            status = 1;
            continue;
        }
        std::printf("sent %s %zu\n", kind.c_str(), frame.size());
    }
    close(fd);
    return status;
}
