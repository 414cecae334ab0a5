// The metrics options' values as the command line takes them.
#include "cli/metrics_address.h"

#include "common/ipv4.h"
#include "common/ipv6.h"

namespace {

bool read_port(const std::string& text)
{
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

}  // namespace

bool split_listen_address(const std::string& text, ListenParts& parts)
{
    parts.bracketed = !text.empty() && text[0] == '[';
    if (parts.bracketed) {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
        parts.host = text.substr(1, close - 1);
        parts.port = text.substr(close + 2);
        return true;
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    parts.host = text.substr(0, colon);
    parts.port = text.substr(colon + 1);
    return true;
}

std::string check_listen_address(const std::string& text)
{
    const std::string form = " (give ADDRESS:PORT, e.g. 192.0.2.10:9464 or [2001:db8::10]:9464)";
    ListenParts parts;
    if (!split_listen_address(text, parts))
        return (parts.bracketed ? "not an address and port: " : "no port in ") + text + form;
    if (parts.bracketed) {
        Ipv6Address address;
        if (!parse_ipv6(parts.host, address)) return "not an IPv6 address: " + parts.host + form;
    } else {
        Ipv4Address address;
        if (parts.host.find(':') != std::string::npos) return "an IPv6 address needs brackets: " + text + form;
        if (!parse_ipv4(parts.host, address)) return "not an IPv4 address: " + parts.host + form;
    }
    if (!read_port(parts.port)) return "not a port from 1 to 65535: " + parts.port + form;
    return {};
}

std::string check_metrics_path(const std::string& text)
{
    if (text.empty()) return "the metrics file's path cannot be empty";
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "the metrics file's path holds a control character";
    if (text.back() == '/') return "the metrics file's path names a folder, not a file: " + text;
    const std::size_t slash = text.rfind('/');
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    const std::string suffix = ".prom";
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return "the metrics file's name must end in .prom (the only files the textfile collector reads): " + text;
    return {};
}
