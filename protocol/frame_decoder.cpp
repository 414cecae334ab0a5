// Decodes a captured Ethernet frame down to its UDP payload, with one outcome for each kind of bad frame.
#include "protocol/frame_decoder.h"

#include "protocol/checksum.h"
#include "protocol/frame_layout.h"

namespace {

constexpr std::array<std::string_view, kFrameOutcomeCount> kOutcomeNames{
    "ok",       "truncated",       "oversized",         "stacked-tags",
    "not-ipv4", "bad-ipv4-header", "bad-ipv4-checksum", "bad-ipv4-length",
    "not-udp",  "fragment",        "bad-udp-length",    "bad-udp-checksum",
};

std::uint16_t get16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

bool is_tag(std::uint16_t ether_type)
{
    return ether_type == kTpidCustomerTag || ether_type == kTpidServiceTag;
}

// Adds a tag; false once there are more tags than an ok frame may have.
bool add_tag(DecodedFrame& frame, std::uint16_t tci)
{
    if (frame.tag_count < frame.vlan_ids.size()) frame.vlan_ids[frame.tag_count] = tci & kVlanIdMask;
    ++frame.tag_count;
    return frame.tag_count <= 1;
}

// The UDP layer, once the IPv4 header has passed: the datagram is ip_length bytes at ip.
FrameOutcome decode_udp(DecodedFrame& frame, const std::uint8_t* ip, std::size_t header_size, std::size_t ip_length,
                        bool checksum_final)
{
    const std::size_t udp_length_available = ip_length - header_size;
    if (udp_length_available < kUdpHeaderSize) return FrameOutcome::bad_udp_length;
    const std::uint8_t* udp = ip + header_size;
    frame.source_port = get16(udp);
    frame.destination_port = get16(udp + kUdpDestinationPortOffset);
    const std::size_t udp_length = get16(udp + kUdpLengthOffset);
    if (udp_length != udp_length_available) return FrameOutcome::bad_udp_length;
    frame.udp_checksum_present = get16(udp + kUdpChecksumOffset) != 0;
    if (frame.udp_checksum_present && checksum_final) {
        // Summed with its checksum in place, a datagram and its pseudo-header come to all ones.
        std::uint32_t sum = checksum_add(0, ip + kIpv4SourceOffset, 8);
        const std::uint8_t rest[4]{0, kIpv4ProtocolUdp, static_cast<std::uint8_t>(udp_length >> 8),
                                   static_cast<std::uint8_t>(udp_length & 0xFF)};
        sum = checksum_add(sum, rest, sizeof rest);
        if (checksum_finish(checksum_add(sum, udp, udp_length)) != 0) return FrameOutcome::bad_udp_checksum;
        frame.udp_checksum_checked = true;
    }
    frame.payload_offset = frame.ip_offset + header_size + kUdpHeaderSize;
    frame.payload_length = udp_length - kUdpHeaderSize;
    return FrameOutcome::ok;
}

FrameOutcome decode_ipv4(DecodedFrame& frame, const std::uint8_t* ip, std::size_t available, bool checksum_final)
{
    if (available < kIpv4HeaderSize) return FrameOutcome::truncated;
    const std::size_t header_size = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
    if ((ip[0] >> 4) != 4 || header_size < kIpv4HeaderSize) return FrameOutcome::bad_ipv4_header;
    if (header_size > available) return FrameOutcome::truncated;
    frame.ip_options = header_size > kIpv4HeaderSize;
    frame.ttl = ip[kIpv4TtlOffset];
    for (std::size_t i = 0; i < 4; ++i) {
        frame.source_ip[i] = ip[kIpv4SourceOffset + i];
        frame.destination_ip[i] = ip[kIpv4DestinationOffset + i];
    }
    const std::uint16_t fragment_field = get16(ip + kIpv4FragmentOffset);
    frame.more_fragments = (fragment_field & kIpv4MoreFragments) != 0;
    frame.fragment_offset = static_cast<std::uint16_t>((fragment_field & kIpv4FragmentOffsetMask) * 8);
    // A corrupt header blames the corruption, not whatever its length field now says.
    if (ipv4_header_checksum(ip, header_size) != 0) return FrameOutcome::bad_ipv4_checksum;
    const std::size_t total_length = get16(ip + kIpv4TotalLengthOffset);
    if (total_length < header_size || total_length > available) return FrameOutcome::bad_ipv4_length;
    if (ip[kIpv4ProtocolOffset] != kIpv4ProtocolUdp) return FrameOutcome::not_udp;
    if (frame.more_fragments || frame.fragment_offset != 0) return FrameOutcome::fragment;
    return decode_udp(frame, ip, header_size, total_length, checksum_final);
}

}  // namespace

std::string_view frame_outcome_name(FrameOutcome outcome)
{
    const auto index = static_cast<std::size_t>(outcome);
    return index < kOutcomeNames.size() ? kOutcomeNames[index] : "unknown";
}

DecodedFrame decode_frame(const std::uint8_t* data, std::size_t length, std::optional<std::uint16_t> stripped_tci,
                          bool udp_checksum_final)
{
    DecodedFrame frame;
    if (data == nullptr || length < kEthernetHeaderSize) {
        frame.outcome = FrameOutcome::truncated;
        return frame;
    }
    for (std::size_t i = 0; i < 6; ++i) {
        frame.destination_mac[i] = data[i];
        frame.source_mac[i] = data[6 + i];
    }
    if (stripped_tci) add_tag(frame, *stripped_tci);
    std::size_t at = 12;  // the EtherType or a tag's TPID
    std::uint16_t ether_type = get16(data + at);
    while (is_tag(ether_type)) {
        if (length < at + kVlanTagSize + 2) {
            frame.outcome = FrameOutcome::truncated;
            return frame;
        }
        const bool single = add_tag(frame, get16(data + at + 2));
        at += kVlanTagSize;
        ether_type = get16(data + at);
        if (!single) {
            frame.outcome = FrameOutcome::stacked_tags;
            return frame;
        }
    }
    at += 2;
    if (length - at > kMaximumEthernetPayload) {
        frame.outcome = FrameOutcome::oversized;
        return frame;
    }
    if (ether_type != kEtherTypeIpv4) {
        frame.outcome = FrameOutcome::not_ipv4;
        return frame;
    }
    frame.ip_offset = at;
    frame.outcome = decode_ipv4(frame, data + at, length - at, udp_checksum_final);
    return frame;
}
