// The host's Ethernet address: the platform's interface rows run through the selection.
#include "hwaddr/hardware_address.h"

#include "hwaddr/interface_rows.h"

namespace {

void take_row_into(const InterfaceRow& row, void* address)
{
    take_interface_row(row, *static_cast<HardwareAddress*>(address));
}

}  // namespace

void find_hardware_address()
{
    // Rows go straight into app_state, so a table that breaks off keeps the last address found.
    read_interface_rows(take_row_into, &app_state.hardware_address);
}
