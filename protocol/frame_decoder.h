// Decodes a captured Ethernet frame down to its UDP payload, with one outcome for each kind of bad frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/ethernet.h"
#include "common/ipv4.h"

// What decoding made of a frame; every value but ok is counted apart in the probe's summary.
enum class FrameOutcome : std::uint8_t {
    ok,                 // an unfragmented IPv4 UDP datagram with valid headers and checksums
    truncated,          // the frame ends inside the Ethernet header, a tag, or the IPv4 or UDP header
    oversized,          // a MAC payload over 1500 bytes: a jumbo frame
    stacked_tags,       // more than one VLAN tag, counting the one the kernel stripped
    not_ipv4,           // another EtherType
    bad_ipv4_header,    // version not 4, or IHL under 5
    bad_ipv4_checksum,  // the header does not sum to zero
    bad_ipv4_length,    // total length shorter than the header, or longer than what arrived
    not_udp,            // another IP protocol
    fragment,           // MF set or a fragment offset: reported, never reassembled
    bad_udp_length,     // UDP length under 8, or not equal to the IP payload
    bad_udp_checksum,   // a non-zero UDP checksum that does not verify
};
inline constexpr std::size_t kFrameOutcomeCount = 12;

// Short kebab-case words for text and JSON, e.g. "bad-ipv4-checksum"; "unknown" outside the enum.
std::string_view frame_outcome_name(FrameOutcome outcome);

// The fields of a frame. They are filled as far as decoding got before it stopped; only ok vouches
// for all of them (a fragment still carries its Ethernet and IPv4 fields).
struct DecodedFrame {
    FrameOutcome outcome = FrameOutcome::truncated;
    HardwareAddress destination_mac{};
    HardwareAddress source_mac{};
    // VLAN ids, outermost first: the kernel's stripped tag, then tags found in the data. An ok frame
    // has at most one; a priority tag counts as a tag with VLAN id 0.
    std::size_t tag_count = 0;
    std::array<std::uint16_t, 2> vlan_ids{};
    std::size_t ip_offset = 0;  // where the IPv4 header starts in the input
    Ipv4Address source_ip{};
    Ipv4Address destination_ip{};
    std::uint8_t ttl = 0;
    bool ip_options = false;            // IHL over 5
    bool more_fragments = false;        // MF
    std::uint16_t fragment_offset = 0;  // in bytes
    std::uint16_t source_port = 0;
    std::uint16_t destination_port = 0;
    bool udp_checksum_present = false;
    bool udp_checksum_checked = false;  // present and verified; not when the sender's stack left it unfinished
    std::size_t payload_offset = 0;     // the UDP payload within the input
    std::size_t payload_length = 0;
};

// The VLAN an ok frame arrived on: its tag's id, or 0 when untagged (or priority-tagged).
inline std::uint16_t frame_vlan_id(const DecodedFrame& frame)
{
    return frame.tag_count == 0 ? 0 : frame.vlan_ids[0];
}

// Decodes length bytes of a frame as captured (from the destination address on, no FCS).
// stripped_tci is the tag control information the kernel removed from the frame, if it removed one.
// Bytes after the IPv4 datagram (Ethernet padding) are ignored. Reads nothing outside the input.
// udp_checksum_final false says the frame was handed over before its UDP checksum was filled in (a local
// sender's offload that no hardware finished); its checksum field then holds a partial sum and is not checked.
DecodedFrame decode_frame(const std::uint8_t* data, std::size_t length, std::optional<std::uint16_t> stripped_tci,
                          bool udp_checksum_final = true);
