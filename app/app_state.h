// The window program's one state record, for the whole run.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/ethernet.h"
#include "net/network.h"
#include "net/raw_log.h"
#include "protocol/discovery_request.h"
#include "protocol/reply_walk.h"
#include "protocol/report_lines.h"

// Opaque handles of the window system; each shell casts its own type in and out.
using InstanceHandle = void*;
using WindowHandle = void*;

struct AppState {
    InstanceHandle instance = nullptr;
    // Written by the window thread on every message, read by the receiver thread.
    std::atomic<WindowHandle> main_window{nullptr};
    std::atomic<WindowHandle> report_view{nullptr};
    SocketLibraryState socket_library_state{};
    // Set at start-up, before the receiver thread exists; read-only afterwards.
    Endpoint request_endpoint = 0;
    Endpoint reply_endpoint = 0;
    HardwareAddress hardware_address{};
    std::int32_t sent_count = 0;      // window thread only
    std::int32_t received_count = 0;  // receiver thread only
    // 0 run, 1 stop: written by the window thread without a lock, read by the receiver thread.
    std::atomic<std::int32_t> stop_flag{0};
    DiscoveryRequest discovery_request{};  // window thread only
    ReplyBuffer reply_buffer{};            // receiver thread only
    ReplySummary reply_summary{};          // receiver thread only
    ReportText report_text{};              // receiver thread only
    // LogFile in the current folder; a record it could not write whole nor remove stops it for the run.
    RawLog raw_log{kDefaultLogFilePath, false, {}};  // receiver thread only
};

static_assert(sizeof(HardwareAddress) == 6);
static_assert(sizeof(Ipv4Address) == 4);
static_assert(sizeof(DiscoveryRequest) == 548);
static_assert(sizeof(ReplyBuffer) == 548);
static_assert(sizeof(ReportText) == 100);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// The one record of the run. It is never freed.
extern AppState app_state;

// Puts every field back to its start-up value; only tests run more than one "program" per process.
void reset_app_state();

// On Linux, while another program holds port 68, the replies come through a packet socket, whose socket is then
// reply_endpoint; the capture and its ring stay in app/reply_capture_linux.cpp, so this record is the same on
// every platform. (Noted here at the end: a line added above would move the declarations' lines in the Windows
// program's debug information, which is to stay byte for byte as it was.)
