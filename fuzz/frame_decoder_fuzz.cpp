// libFuzzer target: the capture frame decoder over raw frames, and build-then-decode over fields the input chooses.
// Raw input: byte 0 bit 0 says the kernel stripped a tag, bytes 1-2 are its TCI, the frame follows. Every frame
// lies in a buffer of exactly its size, so a read past its end stops the run. The same input then picks the
// fields of a frame to build: decoding must give them back, the capture filter must pass it exactly when it goes
// to port 67 or 68, and one flipped byte in its datagram must not decode as ok.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "protocol/capture_filter.h"
#include "protocol/frame_builder.h"
#include "protocol/frame_decoder.h"
#include "support/classic_bpf.h"

namespace {

constexpr std::uint32_t kPacketTypeHost = 0;

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "frame_decoder_fuzz: %s\n", what);
    std::abort();
}

// Reads the input from the front; past its end every byte is zero.
struct InputReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::uint8_t byte()
    {
        return at < size ? data[at++] : 0;
    }
    std::uint16_t word()
    {
        const std::uint8_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    template <std::size_t N>
    std::array<std::uint8_t, N> bytes()
    {
        std::array<std::uint8_t, N> out{};
        for (std::uint8_t& b : out) b = byte();
        return out;
    }
};

// Decodes a copy of exactly length bytes.
DecodedFrame decode_exact(const std::uint8_t* data, std::size_t length, std::optional<std::uint16_t> stripped,
                          bool checksum_final = true)
{
    const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[length]);
    if (length != 0) std::memcpy(copy.get(), data, length);
    return decode_frame(copy.get(), length, stripped, checksum_final);
}

bool filter_passes(const std::vector<std::uint8_t>& frame)
{
    bool understood = false;
    const bool passed = run_classic_bpf(kCaptureFilter, frame.data(), frame.size(), kPacketTypeHost, &understood) != 0;
    check(understood, "the filter ran into an instruction the interpreter lacks");
    return passed;
}

void decode_raw(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return;
    std::optional<std::uint16_t> stripped;
    if (data[0] & 1) stripped = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
    const std::vector<std::uint8_t> frame(data + 3, data + size);
    const DecodedFrame decoded = decode_exact(frame.data(), frame.size(), stripped);
    check(frame_outcome_name(decoded.outcome) != "unknown", "outcome outside the enum");
    const bool ok = decoded.outcome == FrameOutcome::ok;
    if (ok) {
        check(decoded.payload_offset >= 14 + 20 + 8, "payload inside the headers");
        check(decoded.payload_offset <= frame.size() && decoded.payload_length <= frame.size() - decoded.payload_offset,
              "payload range outside the input");
        check(decoded.tag_count <= 1, "ok with stacked tags");
    }
    // An unfinished UDP checksum is only not checked: the outcome differs where the sum alone was wrong, and an
    // ok frame stays ok with the same payload.
    const DecodedFrame unchecked = decode_exact(frame.data(), frame.size(), stripped, false);
    if (decoded.outcome == FrameOutcome::bad_udp_checksum)
        check(unchecked.outcome == FrameOutcome::ok, "an unfinished sum still refused");
    else
        check(unchecked.outcome == decoded.outcome, "an unfinished sum changed another outcome");
    if (ok)
        check(unchecked.payload_offset == decoded.payload_offset && unchecked.payload_length == decoded.payload_length,
              "an unfinished sum moved the payload");
    // What the decoder takes for DHCP, or for a later UDP fragment, the kernel filter must let through.
    const bool dhcp_port = decoded.destination_port == 67 || decoded.destination_port == 68;
    const bool later_fragment = decoded.outcome == FrameOutcome::fragment && decoded.fragment_offset != 0;
    if ((ok && dhcp_port) || later_fragment) check(filter_passes(frame), "filter refuses what the decoder accepts");
}

void build_and_decode(const std::uint8_t* data, std::size_t size)
{
    InputReader in{data, size};
    UdpFrameFields fields;
    fields.destination_mac = in.bytes<6>();
    fields.source_mac = in.bytes<6>();
    fields.vlan_id = static_cast<std::uint16_t>(in.word() % (kHighestVlanId + 1));
    fields.source_ip = in.bytes<4>();
    fields.destination_ip = in.bytes<4>();
    fields.ttl = in.byte();
    fields.identification = in.word();
    fields.source_port = in.word();
    fields.destination_port = in.word();
    const std::uint8_t choices = in.byte();
    fields.udp_checksum = (choices & 1) == 0;
    const bool strip = (choices & 2) != 0 && fields.vlan_id != 0;
    const std::size_t trailer = (choices >> 2) & 3;  // bytes after the frame, as an FCS
    const std::vector<std::uint8_t> options(((choices >> 4) % 11) * 4, in.byte());
    fields.ip_options = options;
    const std::size_t flip_at = in.word();
    const std::uint8_t flip_mask = in.byte();
    const std::vector<std::uint8_t> payload(data + std::min(in.at, size), data + size);

    std::vector<std::uint8_t> frame(udp_frame_size(fields, payload.size()) + trailer, 0xEE);
    check(build_udp_frame(fields, payload, frame.data(), frame.size()) + trailer == frame.size(), "build failed");
    std::optional<std::uint16_t> stripped;
    if (strip) {
        stripped = static_cast<std::uint16_t>((frame[14] << 8 | frame[15]) | (choices & 0xE0) << 8);
        frame.erase(frame.begin() + 12, frame.begin() + 16);
    }
    const DecodedFrame decoded = decode_exact(frame.data(), frame.size(), stripped);
    const std::size_t datagram = 20 + options.size() + 8 + payload.size();
    const std::size_t tag_in_data = fields.vlan_id != 0 && !strip ? 4 : 0;
    if (frame.size() - 14 - tag_in_data > kMaximumEthernetPayload) {  // the trailer counts: it was on the wire
        check(decoded.outcome == FrameOutcome::oversized, "jumbo frame not called oversized");
        return;
    }
    check(decoded.outcome == FrameOutcome::ok, "built frame does not decode");
    check(decoded.destination_mac == fields.destination_mac && decoded.source_mac == fields.source_mac, "addresses");
    check(frame_vlan_id(decoded) == fields.vlan_id && decoded.tag_count == (fields.vlan_id ? 1u : 0u), "VLAN");
    check(decoded.source_ip == fields.source_ip && decoded.destination_ip == fields.destination_ip, "IP addresses");
    check(decoded.ttl == fields.ttl && decoded.ip_options == !options.empty(), "IPv4 fields");
    check(decoded.source_port == fields.source_port && decoded.destination_port == fields.destination_port, "ports");
    check(decoded.udp_checksum_present == fields.udp_checksum, "checksum presence");
    check(decoded.payload_length == payload.size() &&
              std::equal(payload.begin(), payload.end(), frame.begin() + decoded.payload_offset),
          "payload");
    const bool dhcp_port = fields.destination_port == 67 || fields.destination_port == 68;
    check(filter_passes(frame) == dhcp_port, "filter and port disagree");

    // One flipped byte in the datagram: the IPv4 checksum, the lengths or the UDP checksum must notice,
    // unless the flip zeroed the UDP checksum, which then reads as "none".
    if (!fields.udp_checksum || flip_mask == 0) return;
    const std::size_t at = decoded.ip_offset + flip_at % datagram;
    frame[at] ^= flip_mask;
    const std::size_t udp_checksum_at = decoded.ip_offset + 20 + options.size() + 6;
    const bool checksum_zeroed = frame[udp_checksum_at] == 0 && frame[udp_checksum_at + 1] == 0;
    const DecodedFrame flipped = decode_exact(frame.data(), frame.size(), stripped);
    check(flipped.outcome != FrameOutcome::ok || checksum_zeroed, "a flipped byte went unnoticed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 10000) return -1;
    decode_raw(data, size);
    build_and_decode(data, size);
    return 0;
}
