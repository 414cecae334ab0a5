// Windows implementation of the vendor registry's loader: there is no ieee-data package, so every
// lookup is a clean miss.
#include "host/vendor_registry_files.h"

VendorRegistry load_vendor_registry(const std::string&)
{
    return VendorRegistry{};
}
