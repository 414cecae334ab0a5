// IPv6 packets from a capture (starting at the IPv6 header): the header, the extension headers before
// the upper layer, and the UDP and ICMPv6 checks over the IPv6 pseudo-header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ipv6.h"

enum class Ipv6Outcome {
    kOk,
    kTooShort,  // fewer than 40 bytes
    kNotVersion6,
    kPayloadTruncated,    // the payload length promises more than arrived
    kExtensionTruncated,  // an extension header runs past the payload
    kTooManyExtensions,   // more extension headers than a link-local packet has any reason to carry
    kFragment,            // a Fragment header: reported, not reassembled
};

// Extension headers followed before giving up; a packet from the link carries one or two at most.
inline constexpr int kMaxExtensionHeaders = 8;

struct Ipv6Packet {
    Ipv6Outcome outcome = Ipv6Outcome::kTooShort;
    std::uint8_t version = 0;
    std::uint8_t traffic_class = 0;
    std::uint32_t flow_label = 0;
    std::uint16_t payload_length = 0;  // as the header says
    std::size_t trailing_bytes = 0;    // arrived beyond the payload length (Ethernet padding)
    std::uint8_t next_header = 0;      // in the IPv6 header
    std::uint8_t hop_limit = 0;
    Ipv6Address source{};
    Ipv6Address destination{};
    int extension_headers = 0;        // Hop-by-Hop, Routing and Destination Options passed over
    std::uint8_t upper_protocol = 0;  // the header after them: UDP, ICMPv6, ...
    std::size_t upper_offset = 0;     // from the start of the packet
    std::size_t upper_length = 0;     // up to the end of the payload length
    // kFragment: the Fragment header's fields.
    std::uint16_t fragment_offset = 0;  // in 8-byte units
    bool more_fragments = false;
    std::uint32_t fragment_id = 0;
};

// Decodes the packet data[0..size); never reads outside it.
Ipv6Packet decode_ipv6_packet(const std::uint8_t* data, std::size_t size);

enum class UpperProblem {
    kNone,
    kWrongProtocol,   // the packet is not kOk, or its upper layer is another protocol
    kTooShort,        // shorter than the upper-layer header
    kLengthMismatch,  // UDP length differs from what the IPv6 payload holds for it
    kZeroChecksum,    // UDP checksum 0: mandatory over IPv6 (RFC 8200 section 8.1)
    kBadChecksum,
};

struct UdpDatagram {
    UpperProblem problem = UpperProblem::kWrongProtocol;
    std::uint16_t source_port = 0;
    std::uint16_t destination_port = 0;
    std::uint16_t length = 0;
    std::uint16_t checksum = 0;
    std::size_t payload_offset = 0;  // from the start of the packet
    std::size_t payload_length = 0;
};

// The UDP datagram of a decoded packet and its checks; ports and length are filled whenever the header is there.
UdpDatagram decode_udp(const std::uint8_t* data, std::size_t size, const Ipv6Packet& packet);

struct Icmpv6Message {
    UpperProblem problem = UpperProblem::kWrongProtocol;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::size_t offset = 0;  // from the start of the packet
    std::size_t length = 0;
};

// The ICMPv6 message of a decoded packet, its checksum verified.
Icmpv6Message decode_icmpv6(const std::uint8_t* data, std::size_t size, const Ipv6Packet& packet);

const char* ipv6_outcome_text(Ipv6Outcome outcome);
const char* upper_problem_text(UpperProblem problem);
