// The selection of the host's Ethernet address over interface rows, the same on every platform.
#include "host/interface_rows.h"

#include <algorithm>

namespace {

// Placeholder adapters (such as dial-up ones) report an address that begins D, E, S, T and a zero byte.
constexpr std::uint8_t kPlaceholderPrefix[5] = {0x44, 0x45, 0x53, 0x54, 0x00};

bool row_qualifies(const InterfaceRow& row)
{
    if (row.type != kIfTypeEthernetCsmacd) return false;
    if (row.data == nullptr) return false;
    // A shorter string is no Ethernet address, and its bytes end before the tests would.
    if (row.length < sizeof(HardwareAddress)) return false;
    if (std::equal(std::begin(kPlaceholderPrefix), std::end(kPlaceholderPrefix), row.data)) return false;
    return !std::all_of(row.data, row.data + sizeof(HardwareAddress), [](std::uint8_t b) { return b == 0; });
}

void take_row_into(const InterfaceRow& row, void* address)
{
    take_interface_row(row, *static_cast<HardwareAddress*>(address));
}

}  // namespace

void take_interface_row(const InterfaceRow& row, HardwareAddress& address)
{
    if (row_qualifies(row)) std::copy(row.data, row.data + address.size(), address.begin());
}

void select_hardware_address(const InterfaceRow* rows, std::size_t count, HardwareAddress& address)
{
    for (std::size_t i = 0; i < count; ++i) take_interface_row(rows[i], address);
}

void read_hardware_address(HardwareAddress& address)
{
    read_interface_rows(take_row_into, &address);
}
