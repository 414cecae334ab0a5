// Linux: which Ethernet links are Wi-Fi, from sysfs, since rtnetlink's link dump does not say.
#include <fcntl.h>
#include <linux/if_arp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/link_dump_linux.h"

namespace {

// The index sysfs gives the link of this name, or -1.
long sysfs_index(const std::string& folder)
{
    const int fd = open((folder + "/ifindex").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char text[24] = {};
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    return length > 0 ? std::strtol(text, nullptr, 10) : -1;
}

// Wi-Fi drivers of the cfg80211 kind link phy80211; the old wireless extensions add wireless.
bool sysfs_says_wireless(const LinkRecord& link)
{
    // A name with a slash or a dot-only name would leave the folder of links.
    if (link.name.empty() || link.name == "." || link.name == ".." || link.name.find('/') != std::string::npos)
        return false;
    const std::string folder = "/sys/class/net/" + link.name;
    // The name must still be this link's: a link renamed or replaced since the dump says nothing of it.
    if (sysfs_index(folder) != link.index) return false;
    struct stat status {};
    return stat((folder + "/phy80211").c_str(), &status) == 0 || stat((folder + "/wireless").c_str(), &status) == 0;
}

}  // namespace

void mark_wireless_links(std::vector<LinkRecord>& links)
{
    for (LinkRecord& link : links)
        if (link.hardware_type == ARPHRD_ETHER) link.wireless = sysfs_says_wireless(link);
}
