// Linux: the kernel's link and address tables through rtnetlink dumps, and the decoder of their
// messages (pure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/interface_rows.h"

// One link from an RTM_NEWLINK message: its index, ARPHRD type, IFF_ flags, name and hardware
// address as reported. wireless is not in the message: mark_wireless_links sets it from sysfs.
struct LinkRecord {
    std::int32_t index = 0;
    std::uint16_t hardware_type = 0;
    std::uint32_t flags = 0;
    std::string name;
    bool has_address = false;
    std::vector<std::uint8_t> address;
    bool wireless = false;
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
// interrupted by changes to the table. links then holds the last whole answer, interrupted or not,
// or, when a failure came before any, the links that came before the failure.
bool dump_links(std::vector<LinkRecord>& links);

// Every address of family (AF_INET, AF_INET6) in the kernel's table, likewise.
bool dump_addresses(std::uint8_t family, std::vector<AddressRecord>& addresses);

// Marks each Ethernet link whose sysfs folder holds wireless or phy80211, as long as that folder
// still belongs to the same index (a link renamed since the dump is left unmarked).
void mark_wireless_links(std::vector<LinkRecord>& links);

// The MIB-II ifType of an IEEE 802.11 interface, which Windows gives its Wi-Fi adapters.
inline constexpr std::int32_t kIfTypeIeee80211 = 71;

// The MIB-II ifType that the link stands for: 6 for an Ethernet link that is not wireless, as
// Windows lists wired and virtual Ethernet adapters (Wi-Fi is 71, which the rule passes over).
std::int32_t interface_type_of(const LinkRecord& link);

// Puts links in index order, as the MIB-II table is ordered (the dump need not be), and hands each to
// visit as an interface row of the type above; a row's bytes are valid during its visit.
void visit_link_rows(std::vector<LinkRecord>& links, InterfaceRowVisitor visit, void* context);
