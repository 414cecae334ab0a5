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
// Columns of ipAddrTable (1.3.6.1.2.1.4.20.1): ipAdEntAddr, ipAdEntIfIndex, ipAdEntNetMask.
UINT ip_address_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 4, 20, 1, 1};
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

// Walks the columns of one table side by side with get-next queries; visit sees each row's values,
// in column order. Ends when the first column runs past its table or a query fails.
template <std::size_t Count, typename Visit>
void walk_columns(const Agent& agent, UINT* (&columns)[Count], Visit visit)
{
    SnmpVarBind bindings[Count] = {};
    SnmpVarBindList list{bindings, Count};
    AsnObjectIdentifier column_ids[Count];
    for (std::size_t k = 0; k < Count; ++k) {
        column_ids[k] = AsnObjectIdentifier{kColumnIdLength, columns[k]};
        SnmpUtilOidCpy(&bindings[k].name, &column_ids[k]);
    }
    for (int rows = 0; rows < kLongestWalk; ++rows) {
        AsnInteger32 error_status = 0;
        AsnInteger32 error_index = 0;
        if (!agent.query(ASN_RFC1157_GETNEXTREQUEST, &list, &error_status, &error_index)) break;
        bool inside = true;
        for (std::size_t k = 0; k < Count; ++k)
            inside = inside && SnmpUtilOidNCmp(&bindings[k].name, &column_ids[k], kColumnIdLength) == 0;
        if (!inside) break;
        visit(bindings);
        // The agent fills new values into the list on every answer; the old ones are ours to free. Only the
        // whole binding can be freed, so its name (where the next query goes on from) is kept aside first.
        for (SnmpVarBind& binding : bindings) {
            AsnObjectIdentifier name{};
            SnmpUtilOidCpy(&name, &binding.name);
            SnmpUtilVarBindFree(&binding);
            binding = SnmpVarBind{};
            binding.name = name;
        }
    }
    for (SnmpVarBind& binding : bindings) SnmpUtilVarBindFree(&binding);
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

    UINT* interface_columns[] = {if_index_ids, if_descr_ids, if_type_ids, if_phys_address_ids, if_oper_status_ids};
    walk_columns(agent, interface_columns, [&interfaces](const SnmpVarBind* row) {
        HostInterface interface;
        interface.index = row[0].value.asnValue.number;
        interface.name = text_of(row[1].value);
        interface.ethernet = row[2].value.asnValue.number == kIfTypeEthernetCsmacd;
        interface.loopback = row[2].value.asnValue.number == kIfTypeSoftwareLoopback;
        const AsnOctetString& physical = row[3].value.asnValue.string;
        if (row[3].value.asnType == ASN_OCTETSTRING && physical.stream != nullptr && physical.length == 6) {
            interface.has_hardware_address = true;
            for (std::size_t k = 0; k < 6; ++k) interface.hardware_address[k] = physical.stream[k];
        }
        interface.up = row[4].value.asnValue.number == kOperStatusUp;
        interfaces.push_back(interface);
    });

    UINT* address_columns[] = {ip_address_ids, ip_if_index_ids, ip_net_mask_ids};
    walk_columns(agent, address_columns, [&interfaces](const SnmpVarBind* row) {
        HostAddress held;
        Ipv4Address mask{};
        if (!address_of(row[0].value, held.address) || !address_of(row[2].value, mask)) return;
        held.prefix_length = prefix_length_of(mask);
        for (HostInterface& interface : interfaces)
            if (interface.index == row[1].value.asnValue.number) interface.addresses.push_back(held);
    });
    return true;
}
