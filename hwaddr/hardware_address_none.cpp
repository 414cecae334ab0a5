// Placeholder lookup: no interface table is read yet, so the address stays as it was.
#include "hwaddr/hardware_address.h"

void find_hardware_address() {}
