// A reply read whole for the probe: the fixed BOOTP fields and every option, each read by the book.
// The window programs' report keeps its own walk (reply_decoder.h); this one never carries a value over
// from an earlier reply and reads pad as one byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"
#include "protocol/dhcp_options.h"

struct ReplyFields {
    bool has_header = false;  // at least the 236 bytes of the fixed fields
    std::uint8_t op = 0;
    std::uint8_t hardware_type = 0;
    std::uint8_t hardware_length = 0;
    std::uint8_t hops = 0;
    std::uint8_t transaction_id[4] = {};  // as on the wire
    std::uint16_t seconds = 0;
    std::uint16_t flags = 0;
    Ipv4Address client_address{};   // ciaddr
    Ipv4Address offered_address{};  // yiaddr
    Ipv4Address next_server{};      // siaddr
    Ipv4Address relay_address{};    // giaddr
    std::uint8_t client_hardware[16] = {};
    std::string server_name;  // sname up to its first NUL, when options do not fill it
    std::string boot_file;    // file, likewise
    OptionWalk walk;

    bool has_message_type = false;
    std::uint8_t message_type = 0;
    bool has_server_identifier = false;
    Ipv4Address server_identifier{};
    bool has_subnet_mask = false;
    Ipv4Address subnet_mask{};
};

// Decodes length bytes of a reply. Pure; reads no byte at or beyond length.
ReplyFields decode_reply_fields(const std::uint8_t* data, std::size_t length);

// True when the reply answers a request that carried transaction_id: a BOOTREPLY with the magic cookie
// and that transaction id. Anything else on port 68 (another client's traffic, garbage, a stray echo)
// may be reported, but says nothing about whether a DHCP server answers this host. Pure.
bool answers_request(const ReplyFields& fields, const std::array<std::uint8_t, 4>& transaction_id);
