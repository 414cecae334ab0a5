// Windows implementation of the host's interface list: the MIB-II agent library inetmib1.dll, called
// in-process as for the hardware address, walking the interface table and the IPv4 address table.
#include <windows.h>
// snmp.h needs the Windows types first.
#include <snmp.h>

#include <cstdint>
#include <vector>

#include "host/interface_rows.h"
#include "host/interfaces.h"

namespace {

constexpr UINT kColumnIdLength = 10;
// Columns of ifTable (1.3.6.1.2.1.2.2.1): ifIndex, ifDescr, ifType, ifPhysAddress, ifOperStatus.
UINT if_index_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1};
UINT if_descr_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2};
UINT if_type_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 3};
UINT if_phys_address_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};
UINT if_oper_status_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 8};
// Columns of ipAddrTable (1.3.6.1.2.1.4.20.1), whose rows are named by the address: ipAdEntIfIndex,
// ipAdEntNetMask.
UINT ip_if_index_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 2};
UINT ip_net_mask_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 3};

constexpr AsnInteger32 kOperStatusUp = 1;
// Neither table of a real host comes near this; a misbehaving agent must not walk forever.
constexpr int kLongestWalk = 4096;

// GetProcAddress hands out a generic pointer; void(*)() is the type GCC lets us convert through.
template <typename Function>
Function entry_point(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

struct Agent {
    PFNSNMPEXTENSIONQUERY query = nullptr;
};

bool load_agent(Agent& agent)
{
    HMODULE library = LoadLibraryA("inetmib1.dll");
    // The old loader convention: values below 32 are error codes, not handles.
    if (reinterpret_cast<std::uintptr_t>(library) < 32) return false;
    const auto extension_init = entry_point<PFNSNMPEXTENSIONINIT>(library, "SnmpExtensionInit");
    agent.query = entry_point<PFNSNMPEXTENSIONQUERY>(library, "SnmpExtensionQuery");
    if (extension_init == nullptr || agent.query == nullptr) return false;
    HANDLE trap_event = nullptr;
    AsnObjectIdentifier first_view{};
    extension_init(GetTickCount(), &trap_event, &first_view);
    return true;
}

// Walks one column with get-next queries; visit sees each row's instance (the sub-identifiers behind the
// column's own) and value. Ends when the answer leaves the column or a query fails. Columns are walked one
// at a time, so a column the agent does not keep (Wine's has no ifPhysAddress) costs only its own values.
template <typename Visit>
void walk_column(const Agent& agent, UINT* column, Visit visit)
{
    AsnObjectIdentifier column_id{kColumnIdLength, column};
    SnmpVarBind binding{};
    SnmpVarBindList list{&binding, 1};
    SnmpUtilOidCpy(&binding.name, &column_id);
    for (int rows = 0; rows < kLongestWalk; ++rows) {
        AsnInteger32 error_status = 0;
        AsnInteger32 error_index = 0;
        if (!agent.query(ASN_RFC1157_GETNEXTREQUEST, &list, &error_status, &error_index)) break;
        if (SnmpUtilOidNCmp(&binding.name, &column_id, kColumnIdLength) != 0) break;
        if (binding.name.idLength <= kColumnIdLength) break;
        visit(binding.name.ids + kColumnIdLength, binding.name.idLength - kColumnIdLength, binding.value);
        // The agent fills a new value into the binding on every answer; the old one is ours to free. Only the
        // whole binding can be freed, so its name (where the next query goes on from) is kept aside first.
        AsnObjectIdentifier name{};
        SnmpUtilOidCpy(&name, &binding.name);
        SnmpUtilVarBindFree(&binding);
        binding = SnmpVarBind{};
        binding.name = name;
    }
    SnmpUtilVarBindFree(&binding);
}

// The interface a row of ifTable belongs to: its instance is the interface index.
HostInterface* interface_of(std::vector<HostInterface>& interfaces, const UINT* instance, UINT length)
{
    if (length != 1) return nullptr;
    for (HostInterface& interface : interfaces)
        if (interface.index == static_cast<int>(instance[0])) return &interface;
    return nullptr;
}

// An ipAddrTable row's instance is the address itself, four sub-identifiers.
bool instance_address(const UINT* instance, UINT length, Ipv4Address& address)
{
    if (length != 4) return false;
    for (std::size_t k = 0; k < 4; ++k) {
        if (instance[k] > 255) return false;
        address[k] = static_cast<std::uint8_t>(instance[k]);
    }
    return true;
}

std::string text_of(const AsnAny& value)
{
    if (value.asnType != ASN_OCTETSTRING || value.asnValue.string.stream == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(value.asnValue.string.stream), value.asnValue.string.length);
    // Descriptions often carry their C string's terminating NUL.
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

bool address_of(const AsnAny& value, Ipv4Address& address)
{
    if (value.asnType != ASN_IPADDRESS || value.asnValue.address.stream == nullptr ||
        value.asnValue.address.length != 4)
        return false;
    for (std::size_t k = 0; k < 4; ++k) address[k] = value.asnValue.address.stream[k];
    return true;
}

}  // namespace

bool list_host_interfaces(std::vector<HostInterface>& interfaces)
{
    interfaces.clear();
    Agent agent;
    if (!load_agent(agent)) return false;

    walk_column(agent, if_index_ids, [&interfaces](const UINT*, UINT, const AsnAny& value) {
        HostInterface interface;
        interface.index = value.asnValue.number;
        interfaces.push_back(interface);
    });
    walk_column(agent, if_descr_ids, [&interfaces](const UINT* instance, UINT length, const AsnAny& value) {
        if (HostInterface* interface = interface_of(interfaces, instance, length)) interface->name = text_of(value);
    });
    walk_column(agent, if_type_ids, [&interfaces](const UINT* instance, UINT length, const AsnAny& value) {
        HostInterface* interface = interface_of(interfaces, instance, length);
        if (interface == nullptr) return;
        interface->ethernet = value.asnValue.number == kIfTypeEthernetCsmacd;
        interface->loopback = value.asnValue.number == kIfTypeSoftwareLoopback;
    });
    walk_column(agent, if_phys_address_ids, [&interfaces](const UINT* instance, UINT length, const AsnAny& value) {
        HostInterface* interface = interface_of(interfaces, instance, length);
        const AsnOctetString& physical = value.asnValue.string;
        if (interface == nullptr || value.asnType != ASN_OCTETSTRING || physical.stream == nullptr ||
            physical.length != 6)
            return;
        interface->has_hardware_address = true;
        for (std::size_t k = 0; k < 6; ++k) interface->hardware_address[k] = physical.stream[k];
    });
    walk_column(agent, if_oper_status_ids, [&interfaces](const UINT* instance, UINT length, const AsnAny& value) {
        if (HostInterface* interface = interface_of(interfaces, instance, length))
            interface->up = value.asnValue.number == kOperStatusUp;
    });

    // The address table: first which interface holds each address, then each address's mask.
    struct Held {
        Ipv4Address address;
        int index;
        int prefix_length;
    };
    std::vector<Held> held;
    walk_column(agent, ip_if_index_ids, [&held](const UINT* instance, UINT length, const AsnAny& value) {
        Ipv4Address address{};
        if (instance_address(instance, length, address)) held.push_back({address, value.asnValue.number, 32});
    });
    walk_column(agent, ip_net_mask_ids, [&held](const UINT* instance, UINT length, const AsnAny& value) {
        Ipv4Address address{}, mask{};
        if (!instance_address(instance, length, address) || !address_of(value, mask)) return;
        for (Held& entry : held)
            if (entry.address == address) entry.prefix_length = prefix_length_of(mask);
    });
    for (const Held& entry : held)
        for (HostInterface& interface : interfaces)
            if (interface.index == entry.index) interface.addresses.push_back({entry.address, entry.prefix_length});
    return true;
}
