// The option walk and the address copies as a table, and no read past offset 540.
#include <gtest/gtest.h>

#include <new>
#include <random>

#include "protocol/reply_walk.h"
#include "tests/fixtures/reply_fixtures.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

struct Placed {
    std::size_t offset;
    Bytes bytes;
};

struct DecodeCase {
    const char* name;
    ReplySummary before;
    Ipv4Address offered;
    Ipv4Address relay;
    Bytes options;               // from offset 240
    std::vector<Placed> placed;  // further bytes at absolute offsets
    std::uint8_t fill;           // the rest of the options area
    ReplySummary expected;
};

// Test names print the case name, not its bytes.
void PrintTo(const DecodeCase& c, std::ostream* out)
{
    *out << c.name;
}

ReplyBuffer buffer_of(const DecodeCase& c)
{
    Bytes reply = make_reply(c.offered, c.relay, {}, c.fill);
    for (std::size_t k = 0; k < c.options.size(); ++k) reply[240 + k] = c.options[k];
    for (const Placed& p : c.placed)
        for (std::size_t k = 0; k < p.bytes.size(); ++k) reply[p.offset + k] = p.bytes[k];
    return reply_buffer_of(reply);
}

constexpr Ipv4Address kNone{0, 0, 0, 0};
const ReplySummary kFresh{};
const ReplySummary kEarlier{{10, 0, 0, 1}, {10, 1, 2, 3}, {10, 0, 0, 50}};

const Bytes kTypicalTail{51, 4, 0, 0, 14, 16, 1, 4, 255, 255, 255, 0, 3, 4, 192, 168, 1, 1, 6, 4, 192, 168, 1, 1};

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One row per case; kept as rows by hand.
// clang-format off
const DecodeCase kDecodeCases[] = {
    {"server_identifier_first", kFresh, {192, 168, 1, 57}, kNone,
     join({{53, 1, 2, 54, 4, 192, 168, 1, 1}, kTypicalTail, {255}}), {}, 0,
     {{192, 168, 1, 1}, kNone, {192, 168, 1, 57}}},
    {"server_identifier_last", kFresh, {192, 168, 1, 57}, kNone,
     join({{53, 1, 2}, kTypicalTail, {54, 4, 192, 168, 1, 1, 255}}), {}, 0,
     {{192, 168, 1, 1}, kNone, {192, 168, 1, 57}}},
    {"later_option_54_wins", kFresh, kNone, kNone, {54, 4, 10, 0, 0, 1, 54, 4, 10, 0, 0, 2, 255}, {}, 0,
     {{10, 0, 0, 2}, kNone, kNone}},
    {"missing_option_54_keeps_the_earlier", kEarlier, {10, 0, 0, 60}, kNone, {53, 1, 2, 51, 4, 0, 0, 1, 0, 255}, {},
     0, {{10, 0, 0, 1}, kNone, {10, 0, 0, 60}}},
    {"relayed_reply_sets_the_relay", kFresh, {192, 168, 1, 80}, {10, 1, 2, 3}, {54, 4, 172, 16, 0, 1, 255}, {}, 0,
     {{172, 16, 0, 1}, {10, 1, 2, 3}, {192, 168, 1, 80}}},
    {"direct_reply_clears_relay_and_offer", kEarlier, kNone, kNone, {54, 4, 10, 0, 0, 7, 255}, {}, 0,
     {{10, 0, 0, 7}, kNone, kNone}},
    // 00 35 01 02: Pad read with the length 0x35, so the walk lands 55 bytes on, at index 59
    // (offset 295). Read as one byte, Pad would reach the decoy 54 at offset 244 instead.
    {"pad_is_read_with_a_length_byte", kFresh, kNone, kNone, {0, 0x35, 1, 2, 54, 4, 9, 9, 9, 9},
     {{295, {54, 4, 172, 16, 0, 1, 255}}}, 0, {{172, 16, 0, 1}, kNone, kNone}},
    // The length byte of 54 is not looked at: four bytes are taken and the walk goes on by 2 + 0.
    {"option_54_length_not_checked", kFresh, kNone, kNone, {54, 0, 10, 11, 12, 13}, {{255, {255}}}, 0,
     {{10, 11, 12, 13}, kNone, kNone}},
    {"end_first_ends_the_walk", kEarlier, {10, 0, 0, 61}, kNone, {255, 54, 4, 1, 2, 3, 4}, {}, 0,
     {{10, 0, 0, 1}, kNone, {10, 0, 0, 61}}},
    // A length of 255 is unsigned: index 4 + 257 = 261, offset 497.
    {"length_255_jumps_far", kFresh, kNone, kNone, {1, 255}, {{497, {54, 4, 1, 1, 1, 1, 255}}}, 0,
     {{1, 1, 1, 1}, kNone, kNone}},
    {"never_reaching_end_pad_fill", kEarlier, kNone, kNone, {}, {}, 0, {{10, 0, 0, 1}, kNone, kNone}},
    {"never_reaching_end_one_byte_options", kEarlier, kNone, kNone, {}, {}, 1, {{10, 0, 0, 1}, kNone, kNone}},
    // Index 4 jumps to 259 (offset 495), then to 299 (offset 535), the last index the walk
    // reads: its 54 takes offsets 537 to 540.
    {"option_54_at_index_299_reads_up_to_540", kFresh, kNone, kNone, {1, 253},
     {{495, {1, 38}}, {535, {54, 4, 10, 20, 30, 40, 99, 99, 99, 99}}}, 0, {{10, 20, 30, 40}, kNone, kNone}},
    {"option_54_at_index_300_is_not_read", kEarlier, kNone, kNone, {1, 253},
     {{495, {1, 39}}, {536, {54, 4, 10, 20, 30}}}, 0, {{10, 0, 0, 1}, kNone, kNone}},
    // Index 4 jumps to 256 (offset 492, over a decoy 54), then to 301: past 300, so the 54 at
    // offset 537 is not read, though it lies inside the buffer.
    {"jump_past_300_stops", kEarlier, kNone, kNone, {1, 250, 54, 4, 5, 5, 5, 5}, {{492, {1, 43}}, {537, {54, 4, 5, 5}}}, 0,
     {{10, 0, 0, 1}, kNone, kNone}},
};
// clang-format on

class DecodeReply : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeReply, WalksAndCopies)
{
    const DecodeCase& c = GetParam();
    ReplySummary summary = c.before;
    decode_reply(buffer_of(c), summary);
    EXPECT_EQ(summary.server_identifier, c.expected.server_identifier);
    EXPECT_EQ(summary.relay_address, c.expected.relay_address);
    EXPECT_EQ(summary.offered_address, c.expected.offered_address);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeReply, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

// A buffer whose bytes 541 and on cannot be read: under AddressSanitizer any read there stops
// the test; elsewhere the test still walks every buffer to its end.
class GuardedBuffer {
public:
    GuardedBuffer()
    {
        // Offset 541 must start a shadow granule (8 bytes) to be poisoned alone.
        std::size_t shift = 0;
        while ((reinterpret_cast<std::uintptr_t>(storage_ + shift) + 541) % 8 != 0) ++shift;
        buffer_ = new (storage_ + shift) ReplyBuffer{};
    }
    ~GuardedBuffer()
    {
        unguard();
    }
    ReplyBuffer& get()
    {
        return *buffer_;
    }
    void guard()
    {
#if defined(__SANITIZE_ADDRESS__)
        __asan_poison_memory_region(buffer_->data() + 541, 8);
#endif
    }
    void unguard()
    {
#if defined(__SANITIZE_ADDRESS__)
        __asan_unpoison_memory_region(buffer_->data() + 541, 8);
#endif
    }

private:
    alignas(16) std::uint8_t storage_[kDhcpMessageSize + 32];
    ReplyBuffer* buffer_;
};

TEST(DecodeReplyBounds, NoByteBeyondOffset540IsRead)
{
    std::mt19937 random(548);
    GuardedBuffer guarded;
    for (int round = 0; round < 3000; ++round) {
        guarded.unguard();
        ReplyBuffer& buffer = guarded.get();
        // Small lengths keep the walk going to the far end; some rounds steer it to index 299.
        for (std::size_t k = 0; k < buffer.size(); ++k)
            buffer[k] = static_cast<std::uint8_t>(random() % (round % 3 == 0 ? 256 : 8));
        if (round % 2 == 0) {
            // Two jumps land on index 297 to 302 (offsets 533 to 538) in a run of 54s: the
            // walk must take the last one below 300 and none from 300 on.
            buffer[240] = 1;
            buffer[241] = 253;
            buffer[495] = 1;
            buffer[496] = static_cast<std::uint8_t>(36 + random() % 6);
            for (std::size_t k = 497; k < buffer.size(); ++k) buffer[k] = kOptionServerIdentifier;
        }
        const ReplyBuffer copy = buffer;
        guarded.guard();
        ReplySummary summary{};
        decode_reply(buffer, summary);
        guarded.unguard();
        ASSERT_EQ(summary.offered_address, (Ipv4Address{copy[16], copy[17], copy[18], copy[19]}));
        ASSERT_EQ(summary.relay_address, (Ipv4Address{copy[24], copy[25], copy[26], copy[27]}));
    }
}

}  // namespace
