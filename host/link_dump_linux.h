// Linux: the kernel's link and address tables through rtnetlink dumps, and the decoder of their
// messages (pure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One link from an RTM_NEWLINK message: its index, ARPHRD type, IFF_ flags, name and hardware
// address as reported.
struct LinkRecord {
    std::int32_t index = 0;
    std::uint16_t hardware_type = 0;
    std::uint32_t flags = 0;
    std::string name;
    bool has_address = false;
    std::vector<std::uint8_t> address;
};

// One address from an RTM_NEWADDR message: the interface it belongs to, its family (AF_INET or
// AF_INET6), prefix length and scope, and its bytes as reported (4 or 16 when well formed).
struct AddressRecord {
    std::int32_t index = 0;
    std::uint8_t family = 0;
    std::uint8_t prefix_length = 0;
    std::uint8_t scope = 0;
    std::vector<std::uint8_t> address;
};

struct DumpRecords {
    std::vector<LinkRecord> links;
    std::vector<AddressRecord> addresses;
};

enum class LinkDumpStatus { more, done, failed };

// Decodes one datagram of a dump answering the request numbered sequence, appending the links and
// addresses it holds. Messages for other requests and of other types are passed over. Any length
// that does not fit, or an error message, gives failed. interrupted is set (never cleared) when a
// message says the kernel's table changed under the dump, which must then be repeated.
LinkDumpStatus decode_dump_messages(const std::uint8_t* data, std::size_t length, std::uint32_t sequence,
                                    DumpRecords& records, bool& interrupted);

// The same, keeping only the links.
LinkDumpStatus decode_link_messages(const std::uint8_t* data, std::size_t length, std::uint32_t sequence,
                                    std::vector<LinkRecord>& links, bool& interrupted);

// Every link of the kernel's table, in the dump's order; false when the dump failed or kept being
// interrupted by changes to the table.
bool dump_links(std::vector<LinkRecord>& links);

// Every address of family (AF_INET, AF_INET6) in the kernel's table, likewise.
bool dump_addresses(std::uint8_t family, std::vector<AddressRecord>& addresses);

// The MIB-II ifType that a link of this ARPHRD type stands for.
std::int32_t interface_type_of(std::uint16_t hardware_type);
