// An option's value read by the kind of its code, ready for any writer (JSON, text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ipv4.h"
#include "protocol/dhcp_options.h"

// One RFC 3442 route: destination/prefix_length through router.
struct ClasslessRoute {
    Ipv4Address destination{};
    int prefix_length = 0;
    Ipv4Address router{};
};

enum class ValueForm {
    hex,            // text holds the bytes as lower-case hex digits
    address,        // addresses[0]
    addresses,      // addresses, in order
    address_pairs,  // addresses, two by two
    number,         // numbers[0]
    numbers,        // numbers, in order
    flag,           // flag
    text,           // text, printable ASCII
    message_type,   // text holds its name, or numbers[0] its number when it has none
    routes,         // routes
    present,        // an option whose presence is its value
    parts,          // one value per occurrence of a repeated option
};

struct OptionValue {
    ValueForm form = ValueForm::hex;
    std::string text;
    std::vector<Ipv4Address> addresses;
    std::vector<std::int64_t> numbers;
    bool flag = false;
    std::vector<ClasslessRoute> routes;
    std::vector<OptionValue> parts;
};

// Reads the option by the kind of its code. A value that does not suit its kind is given in hex,
// unless it is a repeated option each of whose occurrences suits it (then one value per occurrence).
OptionValue read_option_value(const DhcpOption& option);

// Bytes as lower-case hex pairs, with separator between pairs.
std::string hex_text(const std::uint8_t* data, std::size_t length, const char* separator = "");
