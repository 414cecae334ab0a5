// Windows implementation of capture mode's link access: none. Winsock has no packet socket, so every call
// fails and the probe refuses --capture before it gets here.
#include "net/packet_capture.h"

bool packet_capture_supported()
{
    return false;
}

CaptureOpening open_packet_capture(PacketCapture& capture, const CaptureSettings&)
{
    capture = PacketCapture{};
    return CaptureOpening{CaptureStep::unsupported, 0};
}

void close_packet_capture(PacketCapture& capture)
{
    capture = PacketCapture{};
}

bool next_captured_frame(PacketCapture&, CapturedFrame&)
{
    return false;
}

bool next_captured_datagram(PacketCapture&, CapturedDatagram&, FrameCounts&)
{
    return false;
}

bool update_capture_counts(PacketCapture&)
{
    return false;
}

int send_frame(const PacketCapture&, const std::uint8_t*, std::size_t)
{
    return -1;
}

CaptureOpening open_reply_capture(PacketCapture& capture)
{
    capture = PacketCapture{};
    return CaptureOpening{CaptureStep::unsupported, 0};
}

bool wait_for_capture(const PacketCapture&)
{
    return false;
}

bool taken_by_host(const CapturedDatagram&)
{
    return false;
}
