// The host's Ethernet address: the platform's interface rows run through the selection.
#include "hwaddr/hardware_address.h"

#include "hwaddr/interface_rows.h"

void find_hardware_address()
{
    // Rows go straight into app_state, so a table that breaks off keeps the last address found.
    read_interface_rows(
        [](const InterfaceRow& row, void* context) {
            take_interface_row(row, *static_cast<HardwareAddress*>(context));
        },
        &app_state.hardware_address);
}
