// Linux: the window program's replies through a packet socket while another program holds UDP port 68, as a
// desktop's DHCP client does. Its state (the capture and its ring) lives in reply_capture_linux.cpp, not in
// AppState: opened by start_up before the receiver thread exists, then read by that thread alone.
#pragma once

#include <string>

#include "host/startup.h"
#include "net/network.h"
#include "net/packet_capture.h"

// In place of the reply endpoint that held says another program holds: opens the capture and stores its socket
// in app_state.reply_endpoint. Returns none then; held as it is when the program may not open a packet socket
// (no cap_net_raw) or the capture cannot be opened, which reply_capture_note then explains.
StartupOutcome open_reply_capture(const StartupOutcome& held);

// True when endpoint is the open capture's socket.
bool is_reply_capture(Endpoint endpoint);

// receive_reply through the capture: waits for the next datagram that a socket bound to port 68 would have been
// handed, and takes it as a receive does (into app_state.reply_buffer, LogFile and app_state.reply_summary).
// Returns its length, or -1 as a failed receive does: a datagram longer than the buffer, or a wait that
// stop_network broke off.
int receive_captured_reply();

// Closes the capture; only tests start more than one run in a process.
void close_reply_capture();

// What follows the line of a start-up that failed because port 68 is held: how to get the right that lets the
// program (its helper, program_path) read its replies beside the holder, or why the capture, which went as opening
// says, failed although it had the right. Empty for other failures.
std::string reply_capture_note(const StartupOutcome& outcome, const CaptureOpening& opening, const char* program_path);
