// Shared by the benchmarks: a sample offer, loopback endpoint pairs, a scratch LogFile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state.h"

// The direct offer captured in the test LAN (fuzz/corpus/reply/offer_direct), 300 bytes.
std::vector<std::uint8_t> sample_offer();

struct LoopbackPair {
    Endpoint receiver = kNoEndpoint;
    Endpoint sender = kNoEndpoint;
    std::uint16_t receiver_port = 0;
};

// Starts the socket layer and binds two free unprivileged ports; aborts when it cannot.
LoopbackPair open_loopback_pair();
void close_loopback_pair(const LoopbackPair& pair);
void send_to(const LoopbackPair& pair, const std::vector<std::uint8_t>& bytes);

// A fresh folder under /tmp made the current folder, the LogFile path in it, and its removal.
std::string scratch_log_path();
void remove_scratch_log(const std::string& path);
