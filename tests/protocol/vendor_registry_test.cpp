// The registry parser over CSV in the shapes the IEEE files take, and the longest-prefix lookup.
#include <gtest/gtest.h>

#include <string>

#include "protocol/vendor_registry.h"

namespace {

// One registry text with all three prefix lengths overlapping, then a malformed record of each kind.
const std::string kText =
    "Registry,Assignment,Organization Name,Organization Address\r\n"
    "MA-L,00D0EF,IGT,9295 PROTOTYPE DRIVE RENO NV US 89511 \r\n"
    "MA-L,001122,\"Acme, Inc.\",\"1 Road\r\nTown, Land\"\r\n"
    "MA-M,0011223,\"The \"\"Quoted\"\" Co \",Somewhere\r\n"
    "MA-S,001122334,\tDeep Prefix Ltd\t,\r\n"
    "IAB,0050C27D5,DEUTA-WERKE GmbH,Paffrather\r\n"
    "\r\n"
    "MA-L,00112,Five Digits,x\r\n"
    "MA-L,0011ZZ,Not Hexadecimal,x\r\n"
    "MA-M,AABBCC,Six Digits As MA-M,x\r\n"
    "XX-L,AABBCC,Unknown Registry,x\r\n"
    "MA-L,AABBCD,  ,x\r\n"
    "MA-L,AABBCE,Too,Many,Fields\r\n"
    "MA-L,AABBCF,\"Bell\x07\",x\r\n"
    "MA-L,AABBD0,\"Half \xC3\",x\r\n"
    "MA-L,AABBD1,\"Name\"trailing,x\r\n"
    "MA-L,AABBD2,\"Unclosed,x\r\n"
    "MA-L,AABBD3,Read Again After The Stray Quote,x\r\n"
    "MA-L,00D0EF,Second Of The Same Prefix,x";
constexpr std::size_t kMalformed = 10;

std::string without_carriage_returns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

TEST(VendorRegistry, LongestPrefixWinsAndMalformedRecordsAreSkipped)
{
    struct Lookup {
        HardwareAddress address;
        const char* vendor;
    };
    const Lookup lookups[] = {
        {{0x00, 0xD0, 0xEF, 0x01, 0x02, 0x03}, "IGT"},
        {{0x00, 0x11, 0x22, 0x33, 0x4F, 0xFF}, "Deep Prefix Ltd"},
        {{0x00, 0x11, 0x22, 0x33, 0x50, 0x00}, "The \"Quoted\" Co"},
        {{0x00, 0x11, 0x22, 0x3F, 0xFF, 0xFF}, "The \"Quoted\" Co"},
        {{0x00, 0x11, 0x22, 0x40, 0x00, 0x00}, "Acme, Inc."},
        {{0x00, 0x50, 0xC2, 0x7D, 0x5A, 0xBC}, "DEUTA-WERKE GmbH"},
        {{0x00, 0x50, 0xC2, 0x7D, 0x60, 0x00}, ""},
        {{0xAA, 0xBB, 0xCC, 0x00, 0x00, 0x01}, ""},
        {{0xAA, 0xBB, 0xD3, 0x00, 0x00, 0x01}, "Read Again After The Stray Quote"},
        {{0x00, 0x11, 0x21, 0xFF, 0xFF, 0xFF}, ""},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ""},
    };
    for (const std::string& text : {kText, without_carriage_returns(kText)}) {
        const VendorRegistry registry = parse_vendor_registry(text);
        EXPECT_EQ(registry.assignments.size(), 6u);
        EXPECT_EQ(registry.skipped_records, kMalformed);
        for (const Lookup& row : lookups) {
            EXPECT_EQ(vendor_of(registry, row.address), row.vendor) << row.vendor;
        }
    }
}

TEST(VendorRegistry, FilesAddUpFirstAddedWinsAndNothingLoadedIsAMiss)
{
    const HardwareAddress address{0x00, 0xD0, 0xEF, 0x01, 0x23, 0x45};
    EXPECT_EQ(vendor_of(VendorRegistry{}, address), "");
    VendorRegistry registry = parse_vendor_registry("MA-L,00D0EF,First,x\n");
    add_vendor_registry_text(registry, "MA-L,00D0EF,Second,x\nMA-S,00D0EF012,Deeper,x\n");
    EXPECT_EQ(vendor_of(registry, address), "Deeper");
    EXPECT_EQ(vendor_of(registry, HardwareAddress{0x00, 0xD0, 0xEF, 0xFF, 0, 0}), "First");
    EXPECT_EQ(registry.assignments.size(), 2u);
}

}  // namespace
