// libFuzzer target: the window program's walk of a reply, against a slow reference walk over the same
// bytes. The input is a previous summary (12 bytes) and the 548-byte buffer; the walk may read no byte
// past offset 540, which is poisoned.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/reply_walk.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "reply_walk_fuzz: %s\n", what);
    std::abort();
}

// The walk as the design states it, one step per line: an index counted from the cookie, stop at 300
// or at End, copy four bytes at every 54, jump 2 plus the length byte.
ReplySummary reference_walk(const ReplyBuffer& buffer, ReplySummary summary)
{
    unsigned index = 4;
    for (;;) {
        if (index >= 300) break;
        const unsigned code = buffer.at(236 + index);
        if (code == 255) break;
        if (code == 54)
            for (unsigned k = 0; k < 4; ++k) summary.server_identifier.at(k) = buffer.at(236 + index + 2 + k);
        index = index + 2 + buffer.at(236 + index + 1);
    }
    for (unsigned k = 0; k < 4; ++k) {
        summary.offered_address.at(k) = buffer.at(16 + k);
        summary.relay_address.at(k) = buffer.at(24 + k);
    }
    return summary;
}

// The walk reads at most up to offset 540: the buffer it is given lives in storage whose bytes from
// offset 541 on are poisoned once, so that any further read stops the run.
alignas(16) std::uint8_t guarded_storage[kDhcpMessageSize + 32];
ReplyBuffer* guarded = nullptr;

ReplyBuffer& guarded_copy(const ReplyBuffer& buffer)
{
    if (guarded == nullptr) {
        std::size_t shift = 0;
        while ((reinterpret_cast<std::uintptr_t>(guarded_storage + shift) + 541) % 8 != 0) ++shift;
        guarded = reinterpret_cast<ReplyBuffer*>(guarded_storage + shift);
        __asan_poison_memory_region(guarded->data() + 541, 8);
    }
    std::memcpy(guarded->data(), buffer.data(), 541);
    return *guarded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(ReplySummary)) return -1;
    ReplySummary before;
    std::memcpy(before.server_identifier.data(), data, 4);
    std::memcpy(before.relay_address.data(), data + 4, 4);
    std::memcpy(before.offered_address.data(), data + 8, 4);
    data += 12;
    size -= 12;
    // Bytes behind a short input keep what a longer datagram left: here, a fill taken from the input.
    ReplyBuffer buffer;
    buffer.fill(size > 0 ? data[size - 1] : 0);
    std::memcpy(buffer.data(), data, size < buffer.size() ? size : buffer.size());

    ReplySummary summary = before;
    decode_reply(guarded_copy(buffer), summary);
    const ReplySummary expected = reference_walk(buffer, before);
    check(summary.server_identifier == expected.server_identifier, "server identifier differs from the reference");
    check(summary.relay_address == expected.relay_address, "relay differs from the reference");
    check(summary.offered_address == expected.offered_address, "offered address differs from the reference");
    return 0;
}
