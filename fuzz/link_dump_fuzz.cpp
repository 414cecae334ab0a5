// libFuzzer target: the decoder of the kernel's link and address dumps. Every record must come from
// inside the input, and a dump that decodes without failure must decode again, message by message, to
// the same records when its messages are fed one datagram each.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/link_dump_linux.h"

namespace {

constexpr std::uint32_t kSequence = 1;

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "link_dump_fuzz: %s\n", what);
    std::abort();
}

bool same_links(const std::vector<LinkRecord>& a, const std::vector<LinkRecord>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k].index != b[k].index || a[k].hardware_type != b[k].hardware_type || a[k].flags != b[k].flags ||
            a[k].name != b[k].name || a[k].has_address != b[k].has_address || a[k].address != b[k].address)
            return false;
    return true;
}

bool same_addresses(const std::vector<AddressRecord>& a, const std::vector<AddressRecord>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k].index != b[k].index || a[k].family != b[k].family || a[k].prefix_length != b[k].prefix_length ||
            a[k].scope != b[k].scope || a[k].address != b[k].address)
            return false;
    return true;
}

std::uint32_t u32_at(const std::uint8_t* p)
{
    std::uint32_t value;
    std::memcpy(&value, p, 4);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Exactly the input's bytes, so a read past them stops the run.
    const std::vector<std::uint8_t> whole(data, data + size);
    DumpRecords records;
    bool interrupted = false;
    const LinkDumpStatus status = decode_dump_messages(whole.data(), whole.size(), kSequence, records, interrupted);
    for (const LinkRecord& link : records.links) {
        check(link.address.size() <= size && link.name.size() <= size, "a link larger than its input");
        check(link.name.find('\0') == std::string::npos, "a name with a NUL in it");
        check(link.has_address || link.address.empty(), "an address on a link without one");
    }
    for (const AddressRecord& address : records.addresses) check(address.address.size() <= size, "an address too long");
    if (status == LinkDumpStatus::failed) return 0;

    // Split the same bytes into one datagram per message: the records must not change.
    DumpRecords split;
    bool split_interrupted = false;
    std::size_t offset = 0;
    while (offset + 16 <= size) {
        const std::size_t length = u32_at(whole.data() + offset);
        const std::size_t step = (length + 3) & ~std::size_t{3};
        const std::size_t take = step < size - offset ? step : size - offset;
        const std::vector<std::uint8_t> part(whole.begin() + static_cast<std::ptrdiff_t>(offset),
                                             whole.begin() + static_cast<std::ptrdiff_t>(offset + take));
        const LinkDumpStatus part_status =
            decode_dump_messages(part.data(), part.size(), kSequence, split, split_interrupted);
        check(part_status != LinkDumpStatus::failed, "a message that decoded in the whole fails alone");
        offset += take;
        if (part_status == LinkDumpStatus::done) break;
    }
    check(same_links(records.links, split.links), "links differ when the messages come one by one");
    check(same_addresses(records.addresses, split.addresses), "addresses differ when the messages come one by one");
    check(interrupted == split_interrupted, "the interruption is seen differently");
    return 0;
}
