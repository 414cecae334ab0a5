// The bytes LogFile gets: a text stream's newlines, appended, one open and close per datagram.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/raw_log.h"
#include "tests/fixtures/reply_fixtures.h"

namespace {

struct TranslationCase {
    const char* name;
    Bytes datagram;
    Bytes stored;
};

// Test names print the case name, not its bytes.
void PrintTo(const TranslationCase& c, std::ostream* out)
{
    *out << c.name;
}

Bytes repeated(std::initializer_list<std::uint8_t> pattern, std::size_t times)
{
    Bytes all;
    for (std::size_t k = 0; k < times; ++k) all.insert(all.end(), pattern);
    return all;
}

Bytes every_byte_value()
{
    Bytes all;
    for (int value = 0; value < 256; ++value) all.push_back(static_cast<std::uint8_t>(value));
    return all;
}

Bytes every_byte_value_stored()
{
    Bytes all;
    for (int value = 0; value < 256; ++value) {
        if (value == 0x0A) all.push_back(0x0D);
        all.push_back(static_cast<std::uint8_t>(value));
    }
    return all;
}

// A datagram longer than one reply, so the translation crosses its working buffer's edge.
Bytes long_datagram()
{
    Bytes all;
    for (std::size_t k = 0; k < 1500; ++k) all.push_back(k % 7 == 0 ? 0x0A : static_cast<std::uint8_t>('a' + k % 26));
    return all;
}

Bytes long_datagram_stored()
{
    Bytes all;
    for (const std::uint8_t byte : long_datagram()) {
        if (byte == 0x0A) all.push_back(0x0D);
        all.push_back(byte);
    }
    return all;
}

const TranslationCase kTranslationCases[] = {
    {"line_feed_gets_a_carriage_return", {0x41, 0x0A, 0x42}, {0x41, 0x0D, 0x0A, 0x42}},
    {"end_of_file_byte_is_kept", {0x1A, 0x0A, 0x1A}, {0x1A, 0x0D, 0x0A, 0x1A}},
    {"existing_carriage_return_is_not_merged", {0x0D, 0x0A}, {0x0D, 0x0D, 0x0A}},
    {"lone_carriage_return_is_kept", {0x41, 0x0D, 0x42}, {0x41, 0x0D, 0x42}},
    {"line_feeds_at_both_ends", {0x0A, 0x00, 0x0A}, {0x0D, 0x0A, 0x00, 0x0D, 0x0A}},
    {"every_byte_value", every_byte_value(), every_byte_value_stored()},
    {"a_reply_of_only_line_feeds_doubles", Bytes(548, 0x0A), repeated({0x0D, 0x0A}, 548)},
    {"longer_than_a_reply", long_datagram(), long_datagram_stored()},
    {"empty_datagram_creates_an_empty_file", {}, {}},
};

class RawLogFile : public testing::Test {
protected:
    void SetUp() override
    {
        log_path = scratch.path / "LogFile";
    }
    void append(const Bytes& bytes)
    {
        append_raw_log(log_path.string().c_str(), bytes.data(), bytes.size());
    }

    ScratchFolder scratch;
    std::filesystem::path log_path;
};

class RawLogTranslation : public RawLogFile, public testing::WithParamInterface<TranslationCase> {};

TEST_P(RawLogTranslation, StoresTheBytesOfATextStream)
{
    append(GetParam().datagram);
    ASSERT_TRUE(std::filesystem::exists(log_path));
    EXPECT_EQ(read_file(log_path), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Cases, RawLogTranslation, testing::ValuesIn(kTranslationCases),
                         [](const testing::TestParamInfo<TranslationCase>& info) { return info.param.name; });

TEST_F(RawLogFile, TwoDatagramsWithoutLineFeedsAddExactly600Bytes)
{
    {
        std::ofstream earlier(log_path, std::ios::binary);
        earlier << "earlier run";
    }
    const Bytes first(300, 0x41);
    const Bytes second(300, 0x1A);
    append(first);
    append(second);
    const Bytes stored = read_file(log_path);
    ASSERT_EQ(stored.size(), 11u + 600u);
    EXPECT_EQ(Bytes(stored.begin() + 11, stored.begin() + 311), first);
    EXPECT_EQ(Bytes(stored.begin() + 311, stored.end()), second);
}

TEST_F(RawLogFile, IsClosedBetweenDatagrams)
{
    // Removing the file works only when nobody holds it open (on Windows); the next datagram makes it anew.
    append({1, 2, 3});
    ASSERT_TRUE(std::filesystem::remove(log_path));
    append({4, 5});
    EXPECT_EQ(read_file(log_path), (Bytes{4, 5}));
}

TEST_F(RawLogFile, TurnedOffWritesNothing)
{
    const Bytes bytes{1, 2, 3};
    EXPECT_FALSE(append_raw_log(nullptr, bytes.data(), bytes.size()));
    EXPECT_FALSE(std::filesystem::exists(log_path));
}

struct UnopenableCase {
    const char* name;
    void (*prepare)(const std::filesystem::path& folder);
    const char* relative_path;
};

// Test names print the case name, not its bytes.
void PrintTo(const UnopenableCase& c, std::ostream* out)
{
    *out << c.name;
}

const UnopenableCase kUnopenableCases[] = {
    {"folder_named_LogFile",
     [](const std::filesystem::path& folder) { std::filesystem::create_directory(folder / "LogFile"); }, "LogFile"},
    {"missing_folder", [](const std::filesystem::path&) {}, "missing/LogFile"},
};

class RawLogUnopenable : public RawLogFile, public testing::WithParamInterface<UnopenableCase> {};

TEST_P(RawLogUnopenable, IsSkippedQuietly)
{
    GetParam().prepare(scratch.path);
    const std::filesystem::path target = scratch.path / GetParam().relative_path;
    log_path = target;
    append({0x41, 0x0A});
    EXPECT_FALSE(std::filesystem::is_regular_file(target));
}

INSTANTIATE_TEST_SUITE_P(Cases, RawLogUnopenable, testing::ValuesIn(kUnopenableCases),
                         [](const testing::TestParamInfo<UnopenableCase>& info) { return info.param.name; });

}  // namespace
