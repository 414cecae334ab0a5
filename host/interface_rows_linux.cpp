// Linux implementation of the interface rows: the kernel's link table, in interface index order.
#include <algorithm>
#include <vector>

#include "host/interface_rows.h"
#include "host/link_dump_linux.h"

bool read_interface_rows(InterfaceRowVisitor visit, void* context)
{
    std::vector<LinkRecord> links;
    if (!dump_links(links)) return false;
    // The MIB-II table is ordered by interface index; the dump need not be.
    std::stable_sort(links.begin(), links.end(),
                     [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    for (const LinkRecord& link : links) {
        InterfaceRow row;
        row.type = interface_type_of(link.hardware_type);
        row.data = link.has_address ? link.address.data() : nullptr;
        row.length = link.address.size();
        visit(row, context);
    }
    return true;
}
