// Vendor names for Ethernet addresses, from the IEEE registry's CSV files (MA-L, MA-M, MA-S and IAB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/ethernet.h"

// One assignment: key holds the prefix length in bits (24, 28 or 36) above the prefix itself, which
// sits in the high bits of a 48-bit value with the rest zero; its organization is a range of names.
struct VendorAssignment {
    std::uint64_t key = 0;
    std::uint32_t name_offset = 0;
    std::uint32_t name_length = 0;
};

// Assignments sorted by key, each key once; small and flat, so a lookup is three binary searches.
struct VendorRegistry {
    std::vector<VendorAssignment> assignments;
    std::string names;                // the organizations, one after the other
    std::size_t skipped_records = 0;  // malformed records left out, over all texts added
};

// Adds the records of one registry CSV file (header "Registry,Assignment,Organization Name,..."):
// quoted fields may hold commas, doubled quotes and line breaks; CRLF or LF ends a record. A record
// whose registry, assignment or name is malformed is skipped and reading resumes at the next line.
// Where two records give the same prefix, the one added first stays.
void add_vendor_registry_text(VendorRegistry& registry, std::string_view text);

VendorRegistry parse_vendor_registry(std::string_view text);

// The organization of the longest assignment that holds address; empty when none does.
std::string_view vendor_of(const VendorRegistry& registry, const HardwareAddress& address);
