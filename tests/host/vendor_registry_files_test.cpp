// Loading the registry from a folder of IEEE files: some present, none present, and the installed ones.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "host/vendor_registry_files.h"

namespace {

TEST(VendorRegistryFiles, LoadsTheFilesThatExistAndMissesWhenNoneDo)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("orvane-ieee-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "oui.csv") << "Registry,Assignment,Organization Name,Organization Address\r\n"
                                      << "MA-L,0050C2,IEEE Registration Authority,x\r\n";
    std::ofstream(folder / "iab.csv") << "IAB,0050C27D5,DEUTA-WERKE GmbH,x\r\n";
    const VendorRegistry registry = load_vendor_registry(folder.string());
    EXPECT_EQ(vendor_of(registry, {0x00, 0x50, 0xC2, 0x7D, 0x51, 0x00}), "DEUTA-WERKE GmbH");
    EXPECT_EQ(vendor_of(registry, {0x00, 0x50, 0xC2, 0x00, 0x00, 0x00}), "IEEE Registration Authority");
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(load_vendor_registry(folder.string()).assignments.empty());
}

TEST(VendorRegistryFiles, InstalledFilesLoadQuicklyAndResolveEachPrefixLength)
{
    if (!std::filesystem::exists(std::filesystem::path(kVendorRegistryFolder) / "oui.csv"))
        GTEST_SKIP() << "no ieee-data";
    const auto start = std::chrono::steady_clock::now();
    const VendorRegistry registry = load_vendor_registry();
    const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("load_ms", std::to_string(took));
    std::printf("loaded %zu assignments (%zu skipped) in %.1f ms\n", registry.assignments.size(),
                registry.skipped_records, took);
    EXPECT_GT(registry.assignments.size(), 30000u);
    EXPECT_EQ(vendor_of(registry, {0x70, 0xB3, 0xD5, 0xF2, 0xF1, 0x23}), "TELEPLATFORMS");
    EXPECT_EQ(vendor_of(registry, {0x20, 0x85, 0x93, 0xB0, 0x00, 0x01}), "IOG Products LLC");
    EXPECT_EQ(vendor_of(registry, {0x70, 0xB3, 0xD5, 0x00, 0x00, 0x01}), "IEEE Registration Authority");
    // A generous bound: far above a normal load, still far below a quadratic one.
    EXPECT_LT(took, 2000.0);
}

}  // namespace
