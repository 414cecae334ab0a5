// Test helper: looks up the hardware address as start-up does and prints it as aa:bb:cc:dd:ee:ff.
#include <cstdio>

#include "app/app_state.h"
#include "app/startup.h"

int main()
{
    find_hardware_address();
    const HardwareAddress& a = app_state.hardware_address;
    std::printf("%02x:%02x:%02x:%02x:%02x:%02x\n", a[0], a[1], a[2], a[3], a[4], a[5]);
    return 0;
}
