// Whole Ethernet frames for the lab's packet-socket equipment (Linux): framing, checksums and the socket.
// Built apart from the program's own encoders, so that a fault of theirs cannot hide behind the lab's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

using LabMac = std::array<std::uint8_t, 6>;
using LabIp = std::array<std::uint8_t, 4>;

constexpr std::size_t kLabEthernetHeader = 14;
constexpr std::size_t kLabVlanTag = 4;
constexpr std::size_t kLabMaxFrame = 65536;

bool lab_parse_mac(const char* text, LabMac& mac);
bool lab_parse_ip(const char* text, LabIp& ip);

// The one's-complement sum of RFC 1071 over bytes, folded, starting from sum.
std::uint32_t lab_sum(const std::uint8_t* bytes, std::size_t length, std::uint32_t sum);
std::uint16_t lab_fold(std::uint32_t sum);

// Ethernet (with an 802.1Q tag when vid is not 0), IPv4 without options and UDP, both checksums filled.
std::vector<std::uint8_t> lab_udp_frame(const LabMac& target_mac, const LabMac& source_mac, int vid,
                                        const LabIp& source_ip, const LabIp& target_ip, int source_port,
                                        int target_port, const std::vector<std::uint8_t>& payload);

// A packet socket on one interface that sees every frame, in and out, with the stripped VLAN tag in its
// auxiliary data; promiscuous for a switch port, which must take frames for any station on any link.
// Returns -1 after printing why.
int lab_open_packet_socket(const char* interface_name, LabMac* own_mac, bool promiscuous);

struct LabFrame {
    std::size_t length = 0;
    bool outgoing = false;  // sent by this host, which a switch must not take in again
    int vid = 0;            // the outer 802.1Q tag's VLAN, 0 when untagged
};

// Reads one frame into buffer without its outer tag, whether the kernel stripped it (auxiliary data) or not.
bool lab_read_frame(int fd, std::uint8_t* buffer, std::size_t size, LabFrame& frame);

// Puts an 802.1Q tag for vid after the addresses; buffer needs kLabVlanTag bytes beyond length.
std::size_t lab_insert_tag(std::uint8_t* frame, std::size_t length, int vid);
