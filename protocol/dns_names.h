// Lists of DNS names in RFC 1035 wire form without compression, as DHCPv6 (option 24) and the
// Router Advertisement's DNSSL option carry them, decoded to dotted text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DnsNameProblem {
    kNone,
    kCompressed,  // a label starting with the pointer bits 11: both RFC 8415 and RFC 8106 forbid compression
    kBadLabel,    // the reserved bits 01 or 10, or a character outside letters, digits, '-' and '_'
    kTruncated,   // a label or the terminating root label runs past the data
    kTooLong,     // a name longer than 255 bytes on the wire
};

struct DnsNameList {
    std::vector<std::string> names;  // "example.com"; the root alone is "."
    DnsNameProblem problem = DnsNameProblem::kNone;
    std::size_t problem_offset = 0;  // from the start of the data
};

// Decodes names back to back until the data ends; names before a problem are kept, nothing after it.
// With zero_padding_ends_list (the DNSSL option), a zero byte where a name would start ends the list and
// the rest must be zero padding.
DnsNameList decode_dns_name_list(const std::uint8_t* data, std::size_t size, bool zero_padding_ends_list);

const char* dns_name_problem_text(DnsNameProblem problem);
