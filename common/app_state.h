// The program-wide state record and the small value types it is built from.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/dhcp_wire.h"
#include "common/ethernet.h"
#include "common/ipv4.h"

inline constexpr std::size_t kReportTextSize = 100;

struct ReplySummary {
    Ipv4Address server_identifier{};
    Ipv4Address relay_address{};
    Ipv4Address offered_address{};
};

using DiscoveryRequest = std::array<std::uint8_t, kDhcpMessageSize>;
using ReplyBuffer = std::array<std::uint8_t, kDhcpMessageSize>;
using ReportText = std::array<char, kReportTextSize>;

// A socket handle of the platform's socket library; kNoEndpoint when opening failed.
using Endpoint = std::intptr_t;
inline constexpr Endpoint kNoEndpoint = -1;

// Opaque handles of the window system; each shell casts its own type in and out.
using InstanceHandle = void*;
using WindowHandle = void*;

// Storage for the record the socket library fills at start-up (WSADATA on Windows).
struct SocketLibraryState {
    alignas(8) std::uint8_t bytes[512];
};

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
};

static_assert(sizeof(HardwareAddress) == 6);
static_assert(sizeof(Ipv4Address) == 4);
static_assert(sizeof(ReplySummary) == 12);
static_assert(sizeof(DiscoveryRequest) == 548);
static_assert(sizeof(ReplyBuffer) == 548);
static_assert(sizeof(ReportText) == 100);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

// The one record of the run. It is never freed.
extern AppState app_state;

// Puts every field back to its start-up value; only tests run more than one "program" per process.
void reset_app_state();
