// The address selection over interface rows, as a table of row sequences.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "host/interface_rows.h"

namespace {

struct RowSpec {
    std::int32_t type;
    std::optional<std::vector<std::uint8_t>> bytes;  // nullopt: the row has no address data
};

struct SelectionCase {
    const char* name;
    std::vector<RowSpec> rows;
    HardwareAddress before;
    HardwareAddress expected;
};

constexpr HardwareAddress kZero{};
constexpr HardwareAddress kPrevious{0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
constexpr std::int32_t kEther = kIfTypeEthernetCsmacd;
constexpr std::int32_t kLoop = kIfTypeSoftwareLoopback;
constexpr std::int32_t kWireless = 71;  // ieee80211

using Bytes = std::vector<std::uint8_t>;
const Bytes kFirst{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Bytes kSecond{0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};

HardwareAddress address_of(const Bytes& b)
{
    return {b[0], b[1], b[2], b[3], b[4], b[5]};
}

// Each row's bytes get an allocation of exactly their length, so AddressSanitizer sees any read past it.
class SelectionTable : public testing::TestWithParam<SelectionCase> {
protected:
    std::vector<InterfaceRow> make_rows(const std::vector<RowSpec>& specs)
    {
        std::vector<InterfaceRow> rows;
        for (const RowSpec& spec : specs) {
            InterfaceRow row;
            row.type = spec.type;
            if (spec.bytes) {
                storage.emplace_back(new std::uint8_t[spec.bytes->size()]);
                std::copy(spec.bytes->begin(), spec.bytes->end(), storage.back().get());
                row.data = storage.back().get();
                row.length = spec.bytes->size();
            } else {
                row.length = 6;  // a length without data must not lead to a read
            }
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<std::unique_ptr<std::uint8_t[]>> storage;
};

TEST_P(SelectionTable, LastQualifyingRowWins)
{
    const std::vector<InterfaceRow> rows = make_rows(GetParam().rows);
    HardwareAddress address = GetParam().before;
    select_hardware_address(rows.data(), rows.size(), address);
    EXPECT_EQ(address, GetParam().expected);
}

const SelectionCase kSelectionCases[] = {
    {"loopback_then_two_ethernet_gives_the_last",
     {{kLoop, Bytes(6, 0)}, {kEther, kFirst}, {kEther, kSecond}},
     kZero,
     address_of(kSecond)},
    {"later_ethernet_wins_over_earlier", {{kEther, kSecond}, {kEther, kFirst}}, kZero, address_of(kFirst)},
    {"dest_zero_skipped",
     {{kEther, kFirst}, {kEther, Bytes{0x44, 0x45, 0x53, 0x54, 0x00, 0x00}}},
     kZero,
     address_of(kFirst)},
    {"dest_zero_skipped_whatever_the_sixth_byte",
     {{kEther, kFirst}, {kEther, Bytes{0x44, 0x45, 0x53, 0x54, 0x00, 0x07}}},
     kZero,
     address_of(kFirst)},
    {"dest_with_nonzero_fifth_byte_taken",
     {{kEther, kFirst}, {kEther, Bytes{0x44, 0x45, 0x53, 0x54, 0x01, 0x02}}},
     kZero,
     HardwareAddress{0x44, 0x45, 0x53, 0x54, 0x01, 0x02}},
    {"dest_prefix_elsewhere_taken",
     {{kEther, Bytes{0x00, 0x44, 0x45, 0x53, 0x54, 0x00}}},
     kZero,
     HardwareAddress{0x00, 0x44, 0x45, 0x53, 0x54, 0x00}},
    {"six_zero_bytes_skipped", {{kEther, kFirst}, {kEther, Bytes(6, 0)}}, kZero, address_of(kFirst)},
    {"zero_but_last_byte_taken", {{kEther, Bytes{0, 0, 0, 0, 0, 1}}}, kZero, HardwareAddress{0, 0, 0, 0, 0, 1}},
    {"no_ethernet_row_leaves_zero", {{kLoop, Bytes(6, 0)}, {kWireless, kFirst}, {kIfTypeOther, kSecond}}, kZero, kZero},
    {"no_ethernet_row_keeps_previous", {{kLoop, Bytes(6, 0)}, {kWireless, kFirst}}, kPrevious, kPrevious},
    {"empty_table_keeps_previous", {}, kPrevious, kPrevious},
    {"only_skipped_rows_keep_previous", {{kEther, Bytes(6, 0)}, {kEther, std::nullopt}}, kPrevious, kPrevious},
    {"null_data_skipped", {{kEther, kFirst}, {kEther, std::nullopt}}, kZero, address_of(kFirst)},
    {"short_row_skipped", {{kEther, kFirst}, {kEther, Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0xEE}}}, kZero, address_of(kFirst)},
    {"one_byte_row_skipped", {{kEther, Bytes{0x44}}}, kPrevious, kPrevious},
    {"empty_string_skipped", {{kEther, kFirst}, {kEther, Bytes{}}}, kZero, address_of(kFirst)},
    {"long_row_gives_its_first_six_bytes",
     {{kEther, Bytes{1, 2, 3, 4, 5, 6, 7, 8}}},
     kZero,
     HardwareAddress{1, 2, 3, 4, 5, 6}},
    {"qualifying_row_overwrites_previous", {{kEther, kFirst}}, kPrevious, address_of(kFirst)},
};

INSTANTIATE_TEST_SUITE_P(Rows, SelectionTable, testing::ValuesIn(kSelectionCases),
                         [](const testing::TestParamInfo<SelectionCase>& info) { return info.param.name; });

}  // namespace
