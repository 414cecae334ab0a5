// The MIB-II walk for real, under Wine: the lookup loads the stand-in inetmib1.dll that sits beside
// this program and walks the table each case describes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/startup.h"

namespace {

struct WalkCase {
    const char* name;
    const char* rows;  // ORVANE_MIB_ROWS, see the stand-in
    int fail_at;       // the query that fails, 0 for none
    HardwareAddress before;
    HardwareAddress expected;
    int queries;  // how many queries the walk makes before it ends
};

constexpr HardwareAddress kZero{};
constexpr HardwareAddress kPrevious{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
constexpr HardwareAddress kFirst{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr HardwareAddress kSecond{0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};

int stand_in_counter(const char* name)
{
    HMODULE library = GetModuleHandleA("inetmib1.dll");
    if (library == nullptr) return -1;
    auto counter = reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    return counter ? counter() : -1;
}

HardwareAddress look_up(const char* rows, int fail_at, const HardwareAddress& before)
{
    SetEnvironmentVariableA("ORVANE_MIB_ROWS", rows);
    SetEnvironmentVariableA("ORVANE_MIB_FAIL_AT", std::to_string(fail_at).c_str());
    reset_app_state();
    app_state.hardware_address = before;
    find_hardware_address();
    return app_state.hardware_address;
}

class MibWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(MibWalk, EndsWhereTheTableSaysAndKeepsTheLastEthernetAddress)
{
    const WalkCase& c = GetParam();
    const int inits_before = stand_in_counter("stand_in_init_calls");
    EXPECT_EQ(look_up(c.rows, c.fail_at, c.before), c.expected);
    ASSERT_GE(stand_in_counter("stand_in_query_calls"), 0)
        << "Wine's own inetmib1.dll was loaded, not the stand-in; run with WINEDLLOVERRIDES=inetmib1=n";
    EXPECT_EQ(stand_in_counter("stand_in_query_calls"), c.queries);
    EXPECT_EQ(stand_in_counter("stand_in_init_calls"), std::max(inits_before, 0) + 1);
    EXPECT_EQ(stand_in_counter("stand_in_bad_requests"), 0) << "every query is a get-next on two var-binds";
}

const WalkCase kWalkCases[] = {
    // Rows, then one more query whose names have left the table.
    {"loopback_then_two_ethernet_gives_the_last", "24:000000000000;6:001122334455;6:00AABBCCDDEE", 0, kZero, kSecond,
     4},
    {"dest_zero_skipped", "6:001122334455;6:444553540000", 0, kZero, kFirst, 3},
    {"dest_with_nonzero_fifth_byte_taken", "6:001122334455;6:444553540102", 0, kZero,
     HardwareAddress{0x44, 0x45, 0x53, 0x54, 0x01, 0x02}, 3},
    {"six_zero_bytes_skipped", "6:001122334455;6:000000000000", 0, kZero, kFirst, 3},
    {"no_ethernet_row_leaves_zero", "24:000000000000;71:020000000001", 0, kZero, kZero, 3},
    {"no_ethernet_row_keeps_previous", "24:000000000000;71:020000000001", 0, kPrevious, kPrevious, 3},
    {"null_data_skipped", "6:001122334455;6:-", 0, kZero, kFirst, 3},
    // The stand-in puts the three bytes against an unreadable page: a read past them faults.
    {"short_string_skipped", "6:001122334455;6:AABBCC", 0, kZero, kFirst, 3},
    {"empty_string_skipped", "6:001122334455;6:", 0, kZero, kFirst, 3},
    {"long_string_gives_its_first_six_bytes", "6:0102030405060708", 0, kZero, HardwareAddress{1, 2, 3, 4, 5, 6}, 2},
    {"empty_table_ends_at_once", "", 0, kPrevious, kPrevious, 1},
    // A failed query ends the walk; what was found before it stays.
    {"failed_query_ends_the_walk", "6:00000000AA01;6:00000000AA02;6:00000000AA03", 3, kZero,
     HardwareAddress{0, 0, 0, 0, 0xAA, 0x02}, 3},
    {"failed_first_query_keeps_previous", "6:001122334455", 1, kPrevious, kPrevious, 1},
    // The address column runs out before the type column: the walk ends at the next Ethernet row
    // (a walk that went on would make five queries).
    {"address_column_leaving_ends_the_walk", "6:001122334455;6:00AABBCCDDEE;6:none;6:none", 0, kZero, kSecond, 3},
    // Rows of other types are passed before the address column is looked at.
    {"other_rows_go_on_past_the_address_column", "6:001122334455;24:none;24:none", 0, kZero, kFirst, 4},
    // The two names advance one instance per query each, not per interface index.
    {"sparse_address_column_pairs_by_query", "6:001122334455;6:none;6:00AABBCCDDEE", 0, kZero, kSecond, 3},
};

INSTANTIATE_TEST_SUITE_P(Tables, MibWalk, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

TEST(MibWalkLibrary, StaysLoadedAfterTheLookup)
{
    look_up("6:001122334455", 0, kZero);
    EXPECT_NE(GetModuleHandleA("inetmib1.dll"), nullptr);
}

}  // namespace
