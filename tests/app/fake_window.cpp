// A stand-in for the window: records what the receiver loop shows, for tests to read.
#include "fake_window.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/report_output.h"

namespace {

std::mutex guard;
std::condition_variable changed;
FakeWindowRecord record;

}  // namespace

void reset_fake_window()
{
    std::lock_guard lock(guard);
    record = {};
}

FakeWindowRecord fake_window_record()
{
    std::lock_guard lock(guard);
    return record;
}

bool wait_for_fake_window(const std::function<bool(const FakeWindowRecord&)>& done, int timeout_ms)
{
    std::unique_lock lock(guard);
    return changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done(record); });
}

bool wait_for_fake_blocks(std::size_t count, int timeout_ms)
{
    return wait_for_fake_window(
        [count](const FakeWindowRecord& shown) {
            std::size_t blocks = 0;
            for (std::size_t at = shown.report.find("-\r\n"); at != std::string::npos;
                 at = shown.report.find("-\r\n", at + 1))
                ++blocks;
            return blocks >= count;
        },
        timeout_ms);
}

void show_received_count(std::int32_t count)
{
    std::lock_guard lock(guard);
    record.counts.push_back(count);
    changed.notify_all();
}

void append_report_line(const char* text)
{
    std::lock_guard lock(guard);
    record.report += text;
    changed.notify_all();
}
