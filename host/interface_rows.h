// Interface rows as a source delivers them, and the one rule that picks the host's address from them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"

// MIB-II ifType values that the row sources report.
inline constexpr std::int32_t kIfTypeOther = 1;
inline constexpr std::int32_t kIfTypeEthernetCsmacd = 6;
inline constexpr std::int32_t kIfTypeSoftwareLoopback = 24;

// One row of the interface table: its type and its physical address as the source holds it.
// data may be null (the source has no address for the row); only length bytes at data exist.
struct InterfaceRow {
    std::int32_t type = 0;
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
};

// Copies the row's first six bytes into address when the row qualifies: type 6, address data present,
// at least six bytes, not beginning 44 45 53 54 00 and not six zero bytes. Otherwise leaves it.
void take_interface_row(const InterfaceRow& row, HardwareAddress& address);

// Runs take_interface_row over rows in order, so the last qualifying row wins.
void select_hardware_address(const InterfaceRow* rows, std::size_t count, HardwareAddress& address);

using InterfaceRowVisitor = void (*)(const InterfaceRow& row, void* context);

// Runs the platform's interface rows through the selection into address, so that the last qualifying
// row wins; address keeps what it had when the table cannot be read or no row qualifies (a table that
// breaks off keeps the last address found so far).
void read_hardware_address(HardwareAddress& address);

// The platform's interface table, one row at a time in the table's order (interface index order).
// A row's bytes are valid only during its visit. Returns false when the table could not be read at
// all; a table that breaks off part way keeps the rows visited so far.
bool read_interface_rows(InterfaceRowVisitor visit, void* context);
