// The lookup under Wine when inetmib1.dll lacks an entry point or cannot be loaded: nothing of the
// library is called and the address stays as it was. Each variant runs from its own folder, with or
// without a stand-in library beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/startup.h"

namespace {

bool stand_in_beside_program()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return GetFileAttributesA((folder + "inetmib1.dll").c_str()) != INVALID_FILE_ATTRIBUTES;
}

int stand_in_counter(HMODULE library, const char* name)
{
    auto counter = reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    return counter ? counter() : -1;
}

TEST(MibWalkWithoutEntryPoint, LeavesTheAddressAndCallsNothing)
{
    SetEnvironmentVariableA("ORVANE_MIB_ROWS", "6:001122334455");
    for (const HardwareAddress before : {HardwareAddress{}, HardwareAddress{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}}) {
        reset_app_state();
        app_state.hardware_address = before;
        find_hardware_address();
        EXPECT_EQ(app_state.hardware_address, before);
    }
    HMODULE library = GetModuleHandleA("inetmib1.dll");
    if (!stand_in_beside_program()) {
        EXPECT_EQ(library, nullptr) << "a library was loaded although none should be found";
        return;
    }
    // The stand-in was loaded and left loaded; the entry point it has was never called.
    ASSERT_NE(library, nullptr);
    ASSERT_NE(GetProcAddress(library, "stand_in_init_calls"), nullptr)
        << "Wine's own inetmib1.dll was loaded, not the stand-in; run with WINEDLLOVERRIDES=inetmib1=n";
    EXPECT_EQ(GetProcAddress(library, "SnmpExtensionInit") == nullptr ||
                  GetProcAddress(library, "SnmpExtensionQuery") == nullptr,
              true)
        << "this stand-in was meant to lack an entry point";
    EXPECT_EQ(stand_in_counter(library, "stand_in_init_calls"), 0);
    EXPECT_EQ(stand_in_counter(library, "stand_in_query_calls"), 0);
}

}  // namespace
