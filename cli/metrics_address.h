// The metrics options' values as the command line takes them: a listen address and a textfile path.
#pragma once

#include <string>

// A listen address cut at its port: the host (without brackets) and the port's text, unchecked. False when
// there is no port to cut at (bracketed says which form was meant). Pure.
struct ListenParts {
    std::string host;
    std::string port;
    bool bracketed = false;
};
bool split_listen_address(const std::string& text, ListenParts& parts);

// "192.0.2.1:9464" or "[2001:db8::1]:9464": a literal address, never a name, and a port from 1 to
// 65535. Returns an empty string, or why the text is refused. Pure.
std::string check_listen_address(const std::string& text);

// A textfile path: not empty, naming a file (no trailing '/', not "." or ".."), ending in ".prom" (the
// only files the textfile collector reads), no control characters. Whether its folder can be written is
// found out at each round, not here. Returns an empty string, or why it is refused. Pure.
std::string check_metrics_path(const std::string& text);
