// Loads the vendor registry from the IEEE registry files that Debian's ieee-data package installs.
#pragma once

#include <string>

#include "protocol/vendor_registry.h"

inline constexpr const char* kVendorRegistryFolder = "/usr/share/ieee-data";

// Adds whichever of oui.csv, mam.csv, oui36.csv and iab.csv exist and can be read in folder; a
// registry without assignments (every lookup a miss) when none can.
VendorRegistry load_vendor_registry(const std::string& folder = kVendorRegistryFolder);
