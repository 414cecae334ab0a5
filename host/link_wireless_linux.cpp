// Linux: which Ethernet links are Wi-Fi, from sysfs, since rtnetlink's link dump does not say.
#include <linux/if_arp.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "host/link_dump_linux.h"

namespace {

// Wi-Fi drivers of the cfg80211 kind link phy80211; the old wireless extensions add wireless.
bool sysfs_says_wireless(const LinkRecord& link)
{
    // A name with a slash or a dot-only name would leave the folder of links.
    if (link.name.empty() || link.name == "." || link.name == ".." || link.name.find('/') != std::string::npos)
        return false;
    const std::filesystem::path folder = std::filesystem::path("/sys/class/net") / link.name;
    // The name must still be this link's: a link renamed or replaced since the dump says nothing of it.
    std::ifstream index_file(folder / "ifindex");
    std::int64_t index = -1;
    if (!(index_file >> index) || index != link.index) return false;
    std::error_code error;
    return std::filesystem::exists(folder / "phy80211", error) || std::filesystem::exists(folder / "wireless", error);
}

}  // namespace

void mark_wireless_links(std::vector<LinkRecord>& links)
{
    for (LinkRecord& link : links)
        if (link.hardware_type == ARPHRD_ETHER) link.wireless = sysfs_says_wireless(link);
}
