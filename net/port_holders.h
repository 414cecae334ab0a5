// Who else holds a UDP port: a DHCP client on the host commonly holds port 68.
#pragma once

#include <cstdint>
#include <string>

// The number of UDP sockets in this network namespace bound to local port, ours included; -1 when the
// platform cannot tell.
int count_udp_port_sockets(std::uint16_t port);

// Counts the sockets on local port in the text of a /proc/net/udp or /proc/net/udp6 table. Pure.
int count_port_in_socket_table(const std::string& table, std::uint16_t port);
