// Helpers shared by the reply, raw log and receiver loop tests: replies as bytes, loopback
// endpoints on unprivileged ports, and a scratch folder for LogFile.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/app_state.h"

using Bytes = std::vector<std::uint8_t>;

// A 548-byte BOOTP reply: yiaddr, giaddr, the magic cookie, then options from offset 240.
// Bytes behind the given options are fill.
Bytes make_reply(const Ipv4Address& offered, const Ipv4Address& relay, std::initializer_list<std::uint8_t> options,
                 std::uint8_t fill = 0);
// The same as a ReplyBuffer.
ReplyBuffer reply_buffer_of(const Bytes& bytes);

// What a text stream stores for datagram: each 0x0A preceded by 0x0D.
Bytes text_stream_bytes(const Bytes& datagram);

// Binds a free unprivileged loopback-reachable UDP port.
Endpoint open_free_endpoint(std::uint16_t& port);

// What a receive did around stop_network, called from another thread while it blocked.
struct BreakOff {
    bool blocked_before_stop = false;  // still waiting 200 ms after it started
    bool returned_after_stop = false;  // came back within 5 s of the stop
    int result = 0;
};

// Runs receive on its own thread, stops the network while it blocks, and reports what happened.
BreakOff break_off_by_stop(const std::function<int()>& receive);

// A fresh empty folder under the system's temporary folder, removed by the destructor.
struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::filesystem::path path;
};

// The file's bytes; empty when it does not exist.
Bytes read_file(const std::filesystem::path& path);
