// Test support for the Qt shell: a private network for the test process, a player that drives
// the real window runs step by step, and hand-made replies.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "app/app_state.h"

class QPlainTextEdit;
class QWidget;

// Set up by the test program's main: true when the process has a network namespace of its own
// (loopback up, the limited broadcast routed to loopback), so binding ports 67 and 68 and
// sending the request reach nothing outside it.
bool in_private_network();

// Runs the main window (run_main_window) and plays the steps one after another inside whatever
// run is innermost, so a step may open an About window whose run blocks it. The last step
// should end the run; a watchdog closes the main window after watchdog_ms all the same.
// Returns what run_main_window returned.
int play(std::vector<std::function<void()>> steps, int watchdog_ms = 20000);

QWidget* main_window();
QWidget* main_control(int control_id);
QString main_text(int control_id);
QPlainTextEdit* report_view();
// The About windows that exist now, oldest first.
std::vector<QWidget*> about_windows();
void click(QWidget* control);
// Processes events until done() or timeout_ms.
bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000);

// A DHCP reply of `length` bytes: op 2, yiaddr and giaddr as given, option 54 with server,
// then End. Free of 0x0A bytes when the addresses are, so its log copy has the same length.
std::vector<std::uint8_t> make_reply(const Ipv4Address& server, const Ipv4Address& offered, const Ipv4Address& relay,
                                     std::size_t length = 300);
// Sends bytes from a loopback socket to 127.0.0.1:68.
void send_to_reply_port(const std::vector<std::uint8_t>& bytes);
