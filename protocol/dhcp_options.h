// Every option of a DHCP reply: the standard walk (pad, end, overload) and the table of names and kinds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/dhcp_wire.h"

// How an option's bytes are read. A value whose length does not suit its kind is shown in hex.
enum class OptionKind {
    hex,            // bytes as they are
    address,        // one IPv4 address
    addresses,      // one or more IPv4 addresses
    address_pairs,  // pairs of addresses (policy filters, static routes)
    u8,
    u16,
    u32,
    i32,
    u16_list,
    boolean,           // one byte, 0 or 1
    text,              // printable ASCII; trailing NULs are dropped
    message_type,      // the DHCP message type
    code_list,         // option codes (the parameter request list)
    classless_routes,  // RFC 3442 destination/prefix and router
    empty,             // present or not (rapid commit)
};

struct OptionInfo {
    const char* name;  // nullptr for a code the table does not know
    OptionKind kind;
};

// The name and kind of an option code; unknown codes give {nullptr, hex}.
OptionInfo option_info(std::uint8_t code);

// One option of a reply. Repeated codes are joined into one value in the order met (RFC 3396); the
// length of each occurrence is kept, since some servers repeat a fixed-size option instead (a second
// server identifier, say).
struct DhcpOption {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> data;
    std::vector<std::size_t> part_lengths;
};

// The occurrence number index of a repeated option, as an option of its own.
DhcpOption option_part(const DhcpOption& option, std::size_t index);

struct OptionWalk {
    bool has_cookie = false;  // the magic cookie 63 82 53 63 at offset 236
    bool cut_short = false;   // an option ran past the end of its field
    bool overloaded = false;  // option 52 moved options into the file and/or sname fields
    std::vector<DhcpOption> options;
};

// Walks the options of a reply of length bytes (the options field, then file and sname when option 52
// says so). Reads no byte at or beyond length. Pure.
OptionWalk walk_options(const std::uint8_t* data, std::size_t length);

// The joined value of code, or nullptr.
const DhcpOption* find_option(const OptionWalk& walk, std::uint8_t code);

// True when the option's bytes suit the kind of its code, so a reader can take them as that kind.
bool option_value_fits(const DhcpOption& option);

// A DHCP message type's name ("OFFER"), or nullptr for a number without one.
const char* message_type_name(std::uint8_t type);
