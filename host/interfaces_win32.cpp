// Windows implementation of the host's interface list: the IP Helper's adapter table.
// The IP Helper's headers bring a type of their own called Ipv4Address (naptypes.h); it is renamed
// while they are read, so it does not meet Orvane's. winsock2.h must come before them.
// clang-format off
#define Ipv4Address WindowsNapIpv4Address
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#undef Ipv4Address
// clang-format on

#include "host/interfaces.h"

#include <cstring>

namespace {

std::string narrow(const wchar_t* text)
{
    if (text == nullptr) return {};
    char buffer[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer - 1, nullptr, nullptr);
    return buffer;
}

}  // namespace

bool list_host_interfaces(std::vector<HostInterface>& interfaces)
{
    interfaces.clear();
    ULONG size = 16 * 1024;
    std::vector<unsigned char> storage;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The table can grow between the two calls; a few tries are enough.
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        storage.resize(size);
        result =
            GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                 nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
    }
    if (result != NO_ERROR) return false;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()); adapter != nullptr;
         adapter = adapter->Next) {
        HostInterface entry;
        entry.name = narrow(adapter->FriendlyName);
        entry.up = adapter->OperStatus == IfOperStatusUp;
        entry.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        entry.ethernet = adapter->IfType == IF_TYPE_ETHERNET_CSMACD;
        if (adapter->PhysicalAddressLength == 6) {
            entry.has_hardware_address = true;
            std::memcpy(entry.hardware_address.data(), adapter->PhysicalAddress, 6);
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            sockaddr_in in;
            std::memcpy(&in, address, sizeof in);
            HostAddress host;
            std::memcpy(host.address.data(), &in.sin_addr.s_addr, 4);
            host.prefix_length = unicast->OnLinkPrefixLength;
            entry.addresses.push_back(host);
        }
        interfaces.push_back(entry);
    }
    return true;
}
