// Windows implementation of the host's interface list: the IP Helper's adapter table.
#include "discovery/host_interfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

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
        result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                      nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
    }
    if (result != NO_ERROR) return false;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()); adapter != nullptr;
         adapter = adapter->Next) {
        HostInterface interface;
        interface.name = narrow(adapter->FriendlyName);
        interface.up = adapter->OperStatus == IfOperStatusUp;
        interface.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        interface.ethernet = adapter->IfType == IF_TYPE_ETHERNET_CSMACD;
        if (adapter->PhysicalAddressLength == 6) {
            interface.has_hardware_address = true;
            std::memcpy(interface.hardware_address.data(), adapter->PhysicalAddress, 6);
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            sockaddr_in in;
            std::memcpy(&in, address, sizeof in);
            HostAddress host;
            std::memcpy(host.address.data(), &in.sin_addr.s_addr, 4);
            host.prefix_length = unicast->OnLinkPrefixLength;
            interface.addresses.push_back(host);
        }
        interfaces.push_back(interface);
    }
    return true;
}
