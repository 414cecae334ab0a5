// Capture mode's link access: a packet socket with the capture filter and a memory-mapped receive ring, whole
// frames sent through it, and each captured datagram handed on as its UDP payload with the frame's facts. One
// implementation per platform; Windows has none and refuses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "net/network.h"
#include "protocol/frame_decoder.h"

// True where this platform can capture (Linux).
bool packet_capture_supported();

struct CaptureSettings {
    // The interface to capture on and send through; 0 captures on every interface at once (no sending then).
    int interface_index = 0;
    // Also take frames sent to other stations (a packet-socket membership, dropped by the kernel when the
    // socket closes, however the process ends). Needs an interface.
    bool promiscuous = false;
    // Keep DHCPv6 datagrams to port 546 and router advertisements (protocol/ipv6_capture_filter.h) instead of
    // the IPv4 DHCP traffic.
    bool ipv6 = false;
};

enum class CaptureStep { none, unsupported, socket, filter, ring, map, bind, promiscuous };

struct CaptureOpening {
    CaptureStep failed_step = CaptureStep::none;
    int error_code = 0;  // the platform's error number for the failed step
};

// One packet socket and its receive ring. The socket is an Endpoint that wait_for_datagram can poll.
struct PacketCapture {
    Endpoint socket = kNoEndpoint;
    int interface_index = 0;
    bool promiscuous = false;
    std::uint8_t* ring = nullptr;
    std::size_t block_size = 0;
    std::size_t block_count = 0;
    std::size_t block = 0;         // the block being read
    bool holding = false;          // that block is ours until its last frame has been read and let go
    std::size_t packets_left = 0;  // its packets not yet read
    std::size_t next_packet = 0;   // the offset of the next one within the block
    long long frames_seen = 0;     // frames the filter passed, as the kernel counts them
    long long kernel_drops = 0;    // frames it passed but found no room for in the ring
};

// Opens a capture: the socket, the filter attached before anything can be read, the ring, the bind to the
// interface, the membership when asked for, and whatever reached the ring before the bind thrown away. Needs
// CAP_NET_RAW; nothing after it does. On failure the capture is left closed.
CaptureOpening open_packet_capture(PacketCapture& capture, const CaptureSettings& settings);

void close_packet_capture(PacketCapture& capture);

// One frame as the ring holds it.
struct CapturedFrame {
    const std::uint8_t* data = nullptr;         // valid until the next call on the capture
    std::size_t length = 0;                     // bytes captured
    std::size_t wire_length = 0;                // the frame's own length
    std::optional<std::uint16_t> stripped_tci;  // the tag the kernel took off, from the auxiliary data
    bool checksum_unfinished = false;           // a local sender left the UDP checksum to offload
    int interface_index = 0;
};

// The next frame in the ring without waiting; false when none is ready. The frame handed out before is
// released to the kernel once its block has been read through.
bool next_captured_frame(PacketCapture& capture, CapturedFrame& frame);

// Frames that did not become datagrams, by FrameOutcome (ok stays 0), and ok ones that carried IP options.
struct FrameCounts {
    std::array<long long, kFrameOutcomeCount> by_outcome{};
    long long ip_options = 0;
};

// One UDP datagram taken from a captured frame: its payload exactly as a bound socket would hand it on, with
// what the frame tells beyond it.
struct CapturedDatagram {
    const std::uint8_t* payload = nullptr;  // valid until the next call on the capture
    std::size_t length = 0;
    DecodedFrame frame;  // Ethernet source, VLAN, IPv4 and UDP fields
    int interface_index = 0;
};

// The next captured frame that decodes to a UDP datagram; frames that do not are counted in counts and
// skipped. False when no more frames are ready.
bool next_captured_datagram(PacketCapture& capture, CapturedDatagram& datagram, FrameCounts& counts);

// Reads the kernel's counts (which it resets on each reading) into the capture's running totals.
bool update_capture_counts(PacketCapture& capture);

// Sends one whole frame, Ethernet header first, out of the capture's interface. The bytes sent, or -1.
int send_frame(const PacketCapture& capture, const std::uint8_t* frame, std::size_t length);

// The Linux window program's capture while another program holds UDP port 68: every interface, no promiscuous
// mode, and a fixed filter (protocol/reply_capture_filter.h) that keeps the frames whose datagram a socket bound
// to port 68 would take. Needs CAP_NET_RAW, as open_packet_capture does.
CaptureOpening open_reply_capture(PacketCapture& capture);

// Waits until the capture's ring may hold a frame. stop_network breaks the wait off, as it breaks off a blocked
// receive (a packet socket has no shutdown that would): false then, and on an error of the socket.
bool wait_for_capture(const PacketCapture& capture);

// Whether the host's IPv4 layer takes the datagram in, as it would hand it to a socket bound to its port: it is
// addressed to the host (one of its addresses, or a broadcast) and came in on an interface of its own, not a port
// of a bridge or bond, whose frames the kernel passes up to that master, where the capture sees them again.
// When the system cannot tell, the datagram is taken.
bool taken_by_host(const CapturedDatagram& datagram);
