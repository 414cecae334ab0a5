// A stand-in for the window: records what the receiver loop shows, for tests to read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FakeWindowRecord {
    std::vector<std::int32_t> counts;
    std::string report;  // every line appended, in order
};

void reset_fake_window();
FakeWindowRecord fake_window_record();
// Waits up to timeout_ms until done(record) holds; false when it did not.
bool wait_for_fake_window(const std::function<bool(const FakeWindowRecord&)>& done, int timeout_ms);
// Waits until the window has shown count blocks, each ended by its separator line.
bool wait_for_fake_blocks(std::size_t count, int timeout_ms);
