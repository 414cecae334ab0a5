// Test bytes written as hex text, spaces allowed, and the packets captured from the lab's real peers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> hex_bytes(const std::string& text)
{
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        int value = -1;
        if (c >= '0' && c <= '9') value = c - '0';
        if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
        if (value < 0) continue;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | value));
            high = -1;
        }
    }
    return bytes;
}

// dnsmasq 2.90's ADVERTISE to a SOLICIT with IA_NA and IA_PD (it leaves IA_PD out without a word).
inline const char* const kDnsmasqAdvertise =
    "024f7601 0001000a00030001024f52560001 0002000e0001000132ab6dde024f52560002"
    "000300280a0b0c0d0000070800000c4e 00050018fd000077000000000000000000000163 00000e1000000e10"
    "000d0009000073756363657373 00070001 00 0018001b036c6162076578616d706c650004636f7270076578616d706c6500"
    "00170010fd000077000000000000000000000053";

// dnsmasq with a static range and no host entries, answering a Rapid Commit SOLICIT.
inline const char* const kDnsmasqNoAddressesReply =
    "074f7603 0001000a00030001024f52560001 0002000e0001000132ab6dde024f52560005 000e0000"
    "000300250a0b0c0dffffffffffffffff000d001500026164647265737320756e617661696c61626c65"
    "000d001800026e6f2061646472657373657320617661696c61626c65";

// radvd 2.19's multicast Router Advertisement, from fe80::4f:52ff:fe56:3 to ff02::1.
inline const char* const kRadvdAdvert =
    "8600881c4088001e0000000000000000 030440c000000e100000070800000000fd000088000000000000000000000000"
    "1803301800000258fd0000aa00000000000000000000000019050000 00000258fd000088000000000000000000000053"
    "fd0000880000000000000000000000541f0500000000025805726f677565076578616d706c6500056f74686572076578616d706c650000"
    "0005010000000005780101024f52560003";
