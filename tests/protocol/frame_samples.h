// Frames for the frame tests: built ones, and the edits that spoil them in one place each.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/checksum.h"
#include "protocol/frame_builder.h"

inline const HardwareAddress kClientMac{0x02, 0x4F, 0x52, 0x56, 0x00, 0x0A};
inline const HardwareAddress kServerMac{0x00, 0x16, 0x3E, 0x11, 0x22, 0x33};

inline std::vector<std::uint8_t> payload_of(std::size_t size)
{
    std::vector<std::uint8_t> payload(size);
    for (std::size_t i = 0; i < size; ++i) payload[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return payload;
}

inline std::vector<std::uint8_t> build_frame(const UdpFrameFields& fields, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> frame(udp_frame_size(fields, payload.size()));
    frame.resize(build_udp_frame(fields, payload, frame.data(), frame.size()));
    return frame;
}

// A server's reply to the client port; relayed sends it to the relay's port 67 instead.
inline UdpFrameFields reply_fields(std::uint16_t vlan_id = 0, std::uint16_t port = 68)
{
    UdpFrameFields fields;
    fields.destination_mac = kClientMac;
    fields.source_mac = kServerMac;
    fields.vlan_id = vlan_id;
    fields.source_ip = {192, 168, 77, 1};
    fields.destination_ip = {192, 168, 77, 50};
    fields.source_port = 67;
    fields.destination_port = port;
    return fields;
}

inline void put16(std::vector<std::uint8_t>& frame, std::size_t at, std::uint16_t value)
{
    frame[at] = static_cast<std::uint8_t>(value >> 8);
    frame[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

// Sets the IPv4 header checksum at ip right again after an edit of the header.
inline void refresh_ipv4_checksum(std::vector<std::uint8_t>& frame, std::size_t ip)
{
    const std::size_t header = static_cast<std::size_t>(frame[ip] & 0x0F) * 4;
    put16(frame, ip + 10, 0);
    put16(frame, ip + 10, ipv4_header_checksum(frame.data() + ip, header));
}

// Moves a frame's first tag out of the data, as the kernel does on receive; returns its TCI.
inline std::uint16_t strip_tag(std::vector<std::uint8_t>& frame)
{
    const auto tci = static_cast<std::uint16_t>(frame[14] << 8 | frame[15]);
    frame.erase(frame.begin() + 12, frame.begin() + 16);
    return tci;
}

// Puts a tag with the given TPID and TCI in front of the frame's EtherType.
inline void insert_tag(std::vector<std::uint8_t>& frame, std::uint16_t tpid, std::uint16_t tci)
{
    const std::uint8_t tag[4]{static_cast<std::uint8_t>(tpid >> 8), static_cast<std::uint8_t>(tpid & 0xFF),
                              static_cast<std::uint8_t>(tci >> 8), static_cast<std::uint8_t>(tci & 0xFF)};
    frame.insert(frame.begin() + 12, tag, tag + 4);
}
