// Test stand-in for the MIB-II agent library inetmib1.dll: serves an interface table that the test
// describes, for the walk to run over under Wine.
//
// ORVANE_MIB_ROWS, read at each SnmpExtensionInit: rows in index order separated by ';', each
// "type:address", the address in hex, "-" for a string with a null data pointer (length 6) or "none"
// when the row has no ifPhysAddress instance. ORVANE_MIB_FAIL_AT=N makes the N-th query of a lookup fail.
// Built once per variant: ORVANE_STAND_IN_NO_INIT / ORVANE_STAND_IN_NO_QUERY leave that entry point out
// (the helpers only one entry point uses are then unused, hence maybe_unused).
#include <windows.h>
// snmp.h needs the Windows types first.
#include <snmp.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Oid = std::vector<UINT>;

struct MibObject {
    Oid name;
    BYTE type;            // ASN_INTEGER or ASN_OCTETSTRING
    AsnInteger32 number;  // the integer value
    BYTE* stream;         // the string value; null for a row that reports none
    UINT length;
};

std::vector<MibObject> objects;  // sorted by name
int init_calls = 0;
int query_calls = 0;
int bad_requests = 0;
int fail_at = 0;

// Each string sits at the very end of a readable page, right before one that is not:
// a read past its length faults instead of passing unseen.
BYTE* guarded_copy(const std::vector<BYTE>& bytes)
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    auto* base = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    BYTE* at = base + page - bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) at[i] = bytes[i];
    return at;
}

std::string environment(const char* name)
{
    char value[4096];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::vector<BYTE> from_hex(const std::string& hex)
{
    std::vector<BYTE> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<BYTE>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

Oid table_column(UINT column, UINT index)
{
    return {1, 3, 6, 1, 2, 1, 2, 2, 1, column, index};
}

[[maybe_unused]] void load_table()
{
    objects.clear();
    const std::string rows = environment("ORVANE_MIB_ROWS");
    UINT index = 0;
    std::size_t start = 0;
    while (start < rows.size()) {
        std::size_t end = rows.find(';', start);
        if (end == std::string::npos) end = rows.size();
        const std::string row = rows.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = row.find(':');
        const auto type = static_cast<AsnInteger32>(std::strtol(row.substr(0, colon).c_str(), nullptr, 10));
        const std::string address = colon == std::string::npos ? std::string() : row.substr(colon + 1);
        ++index;
        objects.push_back({table_column(3, index), ASN_INTEGER, type, nullptr, 0});
        if (address == "-")
            objects.push_back({table_column(6, index), ASN_OCTETSTRING, 0, nullptr, 6});
        else if (address != "none") {
            const std::vector<BYTE> bytes = from_hex(address);
            objects.push_back(
                {table_column(6, index), ASN_OCTETSTRING, 0, guarded_copy(bytes), static_cast<UINT>(bytes.size())});
        }
        objects.push_back({table_column(7, index), ASN_INTEGER, 1, nullptr, 0});  // ifAdminStatus up
    }
    objects.push_back({{1, 3, 6, 1, 2, 1, 4, 1, 0}, ASN_INTEGER, 2, nullptr, 0});  // ipForwarding, past the table
    std::sort(objects.begin(), objects.end(), [](const MibObject& a, const MibObject& b) { return a.name < b.name; });
    fail_at = std::atoi(environment("ORVANE_MIB_FAIL_AT").c_str());
    query_calls = 0;
}

[[maybe_unused]] const MibObject* next_object(const AsnObjectIdentifier& name)
{
    const Oid current(name.ids, name.ids + name.idLength);
    for (const MibObject& object : objects)
        if (current < object.name) return &object;
    return nullptr;
}

// Answers one var-bind the way an agent does: the name becomes the instance answered.
[[maybe_unused]] void answer(SnmpVarBind& binding, const MibObject& object)
{
    SnmpUtilOidFree(&binding.name);
    AsnObjectIdentifier name{static_cast<UINT>(object.name.size()), const_cast<UINT*>(object.name.data())};
    SnmpUtilOidCpy(&binding.name, &name);
    // Values are integers or strings on the stand-in's own pages: nothing to free.
    binding.value.asnType = object.type;
    if (object.type == ASN_OCTETSTRING) {
        binding.value.asnValue.string.stream = object.stream;
        binding.value.asnValue.string.length = object.length;
        binding.value.asnValue.string.dynamic = FALSE;  // the pages are the stand-in's own
    } else {
        binding.value.asnValue.number = object.number;
    }
}

}  // namespace

extern "C" {

#ifndef ORVANE_STAND_IN_NO_INIT
__declspec(dllexport) BOOL WINAPI SnmpExtensionInit(DWORD, HANDLE* trap_event, AsnObjectIdentifier* first_view)
{
    ++init_calls;
    static UINT interfaces[] = {1, 3, 6, 1, 2, 1, 2};
    if (trap_event) *trap_event = nullptr;
    if (first_view) *first_view = {7, interfaces};
    load_table();
    return TRUE;
}
#endif

#ifndef ORVANE_STAND_IN_NO_QUERY
__declspec(dllexport) BOOL WINAPI
    SnmpExtensionQuery(BYTE request_type, SnmpVarBindList* list, AsnInteger32* error_status, AsnInteger32* error_index)
{
    ++query_calls;
    if (request_type != SNMP_PDU_GETNEXT || list == nullptr || list->len != 2) ++bad_requests;
    *error_status = SNMP_ERRORSTATUS_NOERROR;
    *error_index = 0;
    if (query_calls == fail_at) {
        *error_status = SNMP_ERRORSTATUS_GENERR;
        return FALSE;
    }
    for (UINT i = 0; i < list->len; ++i) {
        const MibObject* object = next_object(list->list[i].name);
        if (object == nullptr) {
            *error_status = SNMP_ERRORSTATUS_NOSUCHNAME;
            *error_index = static_cast<AsnInteger32>(i + 1);
            return FALSE;
        }
        answer(list->list[i], *object);
    }
    return TRUE;
}
#endif

// What the test reads back after a lookup.
__declspec(dllexport) int stand_in_init_calls()
{
    return init_calls;
}
__declspec(dllexport) int stand_in_query_calls()
{
    return query_calls;
}
__declspec(dllexport) int stand_in_bad_requests()
{
    return bad_requests;
}

}  // extern "C"
