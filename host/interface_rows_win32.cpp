// Windows implementation of the interface rows: a get-next walk of the MIB-II interface table
// through the extension agent library inetmib1.dll, called in-process.
#include <windows.h>
// snmp.h needs the Windows types first.
#include <snmp.h>

#include <cstdint>

#include "host/interface_rows.h"

namespace {

constexpr UINT kColumnIdLength = 10;
// ifType and ifPhysAddress, the columns 3 and 6 of ifTable (1.3.6.1.2.1.2.2.1).
UINT if_type_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 3};
UINT if_phys_address_ids[kColumnIdLength] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 6};

// GetProcAddress hands out a generic pointer; void(*)() is the type GCC lets us convert through.
template <typename Function>
Function entry_point(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

bool read_interface_rows(InterfaceRowVisitor visit, void* context)
{
    HMODULE library = LoadLibraryA("inetmib1.dll");
    // The old loader convention: values below 32 are error codes, not handles.
    if (reinterpret_cast<std::uintptr_t>(library) < 32) return false;
    // The library stays loaded for the rest of the run, also when an entry point is missing.
    const auto extension_init = entry_point<PFNSNMPEXTENSIONINIT>(library, "SnmpExtensionInit");
    const auto extension_query = entry_point<PFNSNMPEXTENSIONQUERY>(library, "SnmpExtensionQuery");
    if (extension_init == nullptr || extension_query == nullptr) return false;

    HANDLE trap_event = nullptr;
    AsnObjectIdentifier first_view{};
    extension_init(GetTickCount(), &trap_event, &first_view);

    AsnObjectIdentifier if_type{kColumnIdLength, if_type_ids};
    AsnObjectIdentifier if_phys_address{kColumnIdLength, if_phys_address_ids};
    SnmpVarBind bindings[2] = {};
    SnmpVarBindList list{bindings, 2};
    SnmpUtilOidCpy(&bindings[0].name, &if_type);
    SnmpUtilOidCpy(&bindings[1].name, &if_phys_address);

    // Each answer puts the instance it answered into the names, so the next get-next goes on from
    // there. The walk has no count limit: it ends only on a failed query or a name leaving its column.
    for (;;) {
        AsnInteger32 error_status = 0;
        AsnInteger32 error_index = 0;
        if (!extension_query(ASN_RFC1157_GETNEXTREQUEST, &list, &error_status, &error_index)) break;
        if (SnmpUtilOidNCmp(&bindings[0].name, &if_type, kColumnIdLength) != 0) break;
        const AsnInteger32 type = bindings[0].value.asnValue.number;
        // Other interfaces are passed before the address column is looked at.
        if (type != kIfTypeEthernetCsmacd) continue;
        if (SnmpUtilOidNCmp(&bindings[1].name, &if_phys_address, kColumnIdLength) != 0) break;
        const AsnOctetString& address = bindings[1].value.asnValue.string;
        InterfaceRow row;
        row.type = type;
        row.data = address.stream;
        row.length = address.length;
        visit(row, context);
    }

    SnmpUtilVarBindFree(&bindings[0]);
    SnmpUtilVarBindFree(&bindings[1]);
    return true;
}
