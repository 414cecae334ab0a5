// libFuzzer target: registry CSV text through the vendor registry parser. The text lies in a buffer of exactly
// its size; every assignment kept must be sorted, unique, of a known length, named, and found by its own prefix.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "protocol/vendor_registry.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "vendor_registry_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 100000) return -1;
    const std::unique_ptr<char[]> text(new char[size]);
    if (size != 0) std::memcpy(text.get(), data, size);
    const VendorRegistry registry = parse_vendor_registry(std::string_view(text.get(), size));
    std::uint64_t previous = 0;
    for (const VendorAssignment& assignment : registry.assignments) {
        check(assignment.key > previous, "keys not sorted or repeated");
        previous = assignment.key;
        const std::uint64_t bits = assignment.key >> 48;
        check(bits == 24 || bits == 28 || bits == 36, "prefix length");
        const std::uint64_t prefix = assignment.key & 0xFFFFFFFFFFFF;
        check((prefix & ((std::uint64_t{1} << (48 - bits)) - 1)) == 0, "bits set past the prefix");
        check(assignment.name_length != 0 && assignment.name_offset + assignment.name_length <= registry.names.size(),
              "name outside the names");
        for (std::size_t i = 0; i < assignment.name_length; ++i)
            check(static_cast<unsigned char>(registry.names[assignment.name_offset + i]) >= 0x20, "control character");
        HardwareAddress address{};
        for (std::size_t i = 0; i < 6; ++i) address[i] = static_cast<std::uint8_t>(prefix >> (40 - 8 * i));
        check(!vendor_of(registry, address).empty(), "an assignment misses its own prefix");
    }
    return 0;
}
