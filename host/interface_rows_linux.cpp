// Linux implementation of the interface rows: the kernel's link table, in interface index order.
#include <algorithm>
#include <vector>

#include "host/interface_rows.h"
#include "host/link_dump_linux.h"

void visit_link_rows(std::vector<LinkRecord>& links, InterfaceRowVisitor visit, void* context)
{
    std::stable_sort(links.begin(), links.end(),
                     [](const LinkRecord& a, const LinkRecord& b) { return a.index < b.index; });
    for (const LinkRecord& link : links) {
        InterfaceRow row;
        row.type = interface_type_of(link);
        row.data = link.has_address ? link.address.data() : nullptr;
        row.length = link.address.size();
        visit(row, context);
    }
}

bool read_interface_rows(InterfaceRowVisitor visit, void* context)
{
    std::vector<LinkRecord> links;
    // A dump that failed part way still gives the rows found so far, as a walk that breaks off does.
    if (!dump_links(links) && links.empty()) return false;
    mark_wireless_links(links);
    visit_link_rows(links, visit, context);
    return true;
}
