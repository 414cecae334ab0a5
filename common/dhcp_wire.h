// Every number of DHCP over UDP/IPv4 that Orvane writes or reads: ports, sizes, field offsets,
// option codes and message types (RFC 951, RFC 2131, RFC 2132), each written once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t kDhcpServerPort = 67;
inline constexpr std::uint16_t kDhcpClientPort = 68;

// Every DHCP message the program sends or reads fits this size (the BOOTP minimum).
inline constexpr std::size_t kDhcpMessageSize = 548;
using DhcpMessage = std::array<std::uint8_t, kDhcpMessageSize>;

// Field offsets of the fixed BOOTP part, in bytes from the start of the message.
inline constexpr std::size_t kOpOffset = 0;
inline constexpr std::size_t kHardwareTypeOffset = 1;
inline constexpr std::size_t kHardwareLengthOffset = 2;
inline constexpr std::size_t kHopsOffset = 3;
inline constexpr std::size_t kTransactionIdOffset = 4;
inline constexpr std::size_t kSecondsOffset = 8;
inline constexpr std::size_t kFlagsOffset = 10;
inline constexpr std::size_t kClientAddressOffset = 12;   // ciaddr
inline constexpr std::size_t kOfferedAddressOffset = 16;  // yiaddr
inline constexpr std::size_t kNextServerOffset = 20;      // siaddr
inline constexpr std::size_t kRelayAddressOffset = 24;    // giaddr
inline constexpr std::size_t kClientHardwareOffset = 28;  // chaddr, 16 bytes
inline constexpr std::size_t kClientHardwareSize = 16;
inline constexpr std::size_t kServerNameOffset = 44;  // sname, 64 bytes
inline constexpr std::size_t kServerNameSize = 64;
inline constexpr std::size_t kBootFileOffset = 108;  // file, 128 bytes
inline constexpr std::size_t kBootFileSize = 128;
inline constexpr std::size_t kMagicCookieOffset = 236;
inline constexpr std::size_t kBootpHeaderSize = 236;  // everything before the cookie
inline constexpr std::size_t kOptionsOffset = 240;

inline constexpr std::array<std::uint8_t, 4> kMagicCookie{0x63, 0x82, 0x53, 0x63};

inline constexpr std::uint8_t kBootRequest = 1;
inline constexpr std::uint8_t kBootReply = 2;
inline constexpr std::uint8_t kHardwareTypeEthernet = 1;
inline constexpr std::uint8_t kEthernetAddressLength = 6;
inline constexpr std::uint16_t kBroadcastFlag = 0x8000;

// The transaction identifier 666, stored least significant byte first as it always was.
inline constexpr std::array<std::uint8_t, 4> kTransactionId{0x9A, 0x02, 0x00, 0x00};

// Option codes.
inline constexpr std::uint8_t kOptionPad = 0;
inline constexpr std::uint8_t kOptionSubnetMask = 1;
inline constexpr std::uint8_t kOptionOverload = 52;
inline constexpr std::uint8_t kOptionMessageType = 53;
inline constexpr std::uint8_t kOptionServerIdentifier = 54;
inline constexpr std::uint8_t kOptionEnd = 255;

// Values of option 52: which of file and sname carry options too.
inline constexpr std::uint8_t kOverloadFile = 1;
inline constexpr std::uint8_t kOverloadServerName = 2;
inline constexpr std::uint8_t kOverloadBoth = 3;

// DHCP message types (option 53).
inline constexpr std::uint8_t kDhcpDiscover = 1;
inline constexpr std::uint8_t kDhcpOffer = 2;
