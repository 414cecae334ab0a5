// The bytes LogFile gets: a text stream's newlines, appended, one open and close per datagram.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    EXPECT_EQ(append_raw_log(nullptr, bytes.data(), bytes.size()).result, LogResult::off);
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

// The log of a run: off, halted after a half record, and the words for each outcome.
TEST_F(RawLogFile, AHaltedLogAppendsNothingMore)
{
    const Bytes bytes{1, 2, 3};
    RawLog off;
    EXPECT_EQ(log_datagram(off, bytes.data(), bytes.size()).result, LogResult::off);
    const std::string path = log_path.string();
    RawLog log{path.c_str(), false, {}};
    EXPECT_EQ(log_datagram(log, bytes.data(), bytes.size()).result, LogResult::written);
    log.halted = true;
    EXPECT_EQ(log_datagram(log, bytes.data(), bytes.size()).result, LogResult::halted);
    EXPECT_EQ(log.last.result, LogResult::halted);
    EXPECT_EQ(read_file(log_path), bytes);
    EXPECT_STREQ(log_outcome_text({LogResult::not_regular, 0}), "not a regular file");
    EXPECT_FALSE(std::string(log_outcome_text({LogResult::cannot_open, ENOENT})).empty());
}

#ifndef _WIN32
// What is not a regular file is never written, and never waited on: a FIFO planted under the log's name
// would otherwise hold the receiving thread in open() until someone reads it.
struct OddFileCase {
    const char* name;
    bool (*prepare)(const std::filesystem::path& log);
    LogResult result;
};

void PrintTo(const OddFileCase& c, std::ostream* out)
{
    *out << c.name;
}

const OddFileCase kOddFileCases[] = {
    {"fifo_without_reader", [](const std::filesystem::path& log) { return mkfifo(log.c_str(), 0666) == 0; },
     LogResult::cannot_open},
    {"character_device",
     [](const std::filesystem::path& log) {
         std::filesystem::create_symlink("/dev/null", log);
         return true;
     },
     LogResult::not_regular},
    {"folder", [](const std::filesystem::path& log) { return std::filesystem::create_directory(log); },
     LogResult::cannot_open},
    {"symlink_to_a_regular_file",
     [](const std::filesystem::path& log) {
         std::ofstream(log.string() + ".real").put('x');
         std::filesystem::create_symlink(log.string() + ".real", log);
         return true;
     },
     LogResult::written},
    {"missing_folder", [](const std::filesystem::path&) { return true; }, LogResult::cannot_open},
};

class RawLogOddFile : public RawLogFile, public testing::WithParamInterface<OddFileCase> {};

TEST_P(RawLogOddFile, IsSkippedAtOnce)
{
    if (std::string(GetParam().name) == "missing_folder") log_path = scratch.path / "missing" / "LogFile";
    ASSERT_TRUE(GetParam().prepare(log_path));
    const Bytes bytes{0x41, 0x0A};
    const auto started = std::chrono::steady_clock::now();
    const LogOutcome outcome = append_raw_log(log_path.string().c_str(), bytes.data(), bytes.size());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(outcome.result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Cases, RawLogOddFile, testing::ValuesIn(kOddFileCases),
                         [](const testing::TestParamInfo<OddFileCase>& info) { return info.param.name; });

TEST_F(RawLogFile, AFifoWithAReaderGetsNothing)
{
    ASSERT_EQ(mkfifo(log_path.c_str(), 0666), 0);
    const int reader = open(log_path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const Bytes bytes{1, 2, 3};
    EXPECT_EQ(append_raw_log(log_path.string().c_str(), bytes.data(), bytes.size()).result, LogResult::not_regular);
    std::uint8_t taken[8];
    EXPECT_LE(read(reader, taken, sizeof taken), 0) << "the reader got bytes";
    close(reader);
}

// A write that stops part-way (here at a file size limit, as at a full disk): the record is cut out
// again, so the next one never follows half a record.
TEST_F(RawLogFile, AShortWriteLeavesNoHalfRecord)
{
    {
        std::ofstream earlier(log_path, std::ios::binary);
        earlier << "earlier run";
    }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 300;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Bytes big(548, 0x41), fits(100, 0x42);
    const LogOutcome cut = append_raw_log(log_path.string().c_str(), big.data(), big.size());
    const LogOutcome next = append_raw_log(log_path.string().c_str(), fits.data(), fits.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(cut.result, LogResult::cut_back);
    EXPECT_EQ(cut.error_code, EFBIG);
    EXPECT_EQ(next.result, LogResult::written);
    Bytes expected{'e', 'a', 'r', 'l', 'i', 'e', 'r', ' ', 'r', 'u', 'n'};
    expected.insert(expected.end(), fits.begin(), fits.end());
    EXPECT_EQ(read_file(log_path), expected);
}
#endif

}  // namespace
