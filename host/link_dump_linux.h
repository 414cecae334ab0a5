// Linux: the kernel's link table through an rtnetlink dump, and the decoder of its messages (pure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One link from an RTM_NEWLINK message: its index, ARPHRD type and hardware address as reported.
struct LinkRecord {
    std::int32_t index = 0;
    std::uint16_t hardware_type = 0;
    bool has_address = false;
    std::vector<std::uint8_t> address;
};

enum class LinkDumpStatus { more, done, failed };

// Decodes one datagram of a link dump answering the request numbered sequence, appending its links.
// Messages for other requests are passed over. Any length that does not fit, or an error message,
// gives failed. interrupted is set (never cleared) when a message says the kernel's table changed
// under the dump, which must then be repeated.
LinkDumpStatus decode_link_messages(const std::uint8_t* data, std::size_t length, std::uint32_t sequence,
                                    std::vector<LinkRecord>& links, bool& interrupted);

// Every link of the kernel's table, in the dump's order; false when the dump failed or kept being
// interrupted by changes to the table.
bool dump_links(std::vector<LinkRecord>& links);

// The MIB-II ifType that a link of this ARPHRD type stands for.
std::int32_t interface_type_of(std::uint16_t hardware_type);
