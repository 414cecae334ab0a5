// Every number of DHCPv6 (RFC 8415), Neighbor Discovery (RFC 4861, RFC 4191, RFC 8106) and the IPv6
// framing around them that Orvane writes or reads: ports, sizes, types and option codes, each written once.
#pragma once

#include <cstddef>
#include <cstdint>

// IPv6 framing (RFC 8200).
inline constexpr std::uint16_t kEthertypeIpv6 = 0x86dd;
inline constexpr std::size_t kIpv6HeaderSize = 40;
inline constexpr std::size_t kUdpHeaderSize = 8;
inline constexpr std::uint8_t kNextHeaderHopByHop = 0;
inline constexpr std::uint8_t kNextHeaderUdp = 17;
inline constexpr std::uint8_t kNextHeaderRouting = 43;
inline constexpr std::uint8_t kNextHeaderFragment = 44;
inline constexpr std::uint8_t kNextHeaderIcmpv6 = 58;
inline constexpr std::uint8_t kNextHeaderNone = 59;
inline constexpr std::uint8_t kNextHeaderDestinationOptions = 60;

// DHCPv6 ports and the fixed part of its messages.
inline constexpr std::uint16_t kDhcpv6ClientPort = 546;
inline constexpr std::uint16_t kDhcpv6ServerPort = 547;
// Link-scoped multicast never needs more; it is also what the kernel uses for multicast by default.
inline constexpr std::uint8_t kDhcpv6HopLimit = 1;
inline constexpr std::size_t kDhcpv6HeaderSize = 4;        // msg-type, transaction-id
inline constexpr std::size_t kDhcpv6RelayHeaderSize = 34;  // msg-type, hop-count, link and peer address
inline constexpr std::size_t kDhcpv6OptionHeaderSize = 4;  // option-code, option-len
inline constexpr std::size_t kDhcpv6TransactionIdSize = 3;

// DHCPv6 message types.
inline constexpr std::uint8_t kDhcpv6Solicit = 1;
inline constexpr std::uint8_t kDhcpv6Advertise = 2;
inline constexpr std::uint8_t kDhcpv6Request = 3;
inline constexpr std::uint8_t kDhcpv6Confirm = 4;
inline constexpr std::uint8_t kDhcpv6Renew = 5;
inline constexpr std::uint8_t kDhcpv6Rebind = 6;
inline constexpr std::uint8_t kDhcpv6Reply = 7;
inline constexpr std::uint8_t kDhcpv6Release = 8;
inline constexpr std::uint8_t kDhcpv6Decline = 9;
inline constexpr std::uint8_t kDhcpv6Reconfigure = 10;
inline constexpr std::uint8_t kDhcpv6InformationRequest = 11;
inline constexpr std::uint8_t kDhcpv6RelayForward = 12;
inline constexpr std::uint8_t kDhcpv6RelayReply = 13;
inline constexpr std::uint8_t kDhcpv6LeaseQuery = 14;
inline constexpr std::uint8_t kDhcpv6LeaseQueryReply = 15;

// DHCPv6 option codes.
inline constexpr std::uint16_t kDhcpv6OptionClientId = 1;
inline constexpr std::uint16_t kDhcpv6OptionServerId = 2;
inline constexpr std::uint16_t kDhcpv6OptionIaNa = 3;
inline constexpr std::uint16_t kDhcpv6OptionIaTa = 4;
inline constexpr std::uint16_t kDhcpv6OptionIaAddress = 5;
inline constexpr std::uint16_t kDhcpv6OptionRequest = 6;
inline constexpr std::uint16_t kDhcpv6OptionPreference = 7;
inline constexpr std::uint16_t kDhcpv6OptionElapsedTime = 8;
inline constexpr std::uint16_t kDhcpv6OptionRelayMessage = 9;
inline constexpr std::uint16_t kDhcpv6OptionServerUnicast = 12;
inline constexpr std::uint16_t kDhcpv6OptionStatusCode = 13;
inline constexpr std::uint16_t kDhcpv6OptionRapidCommit = 14;
inline constexpr std::uint16_t kDhcpv6OptionInterfaceId = 18;
inline constexpr std::uint16_t kDhcpv6OptionDnsServers = 23;
inline constexpr std::uint16_t kDhcpv6OptionDomainList = 24;
inline constexpr std::uint16_t kDhcpv6OptionIaPd = 25;
inline constexpr std::uint16_t kDhcpv6OptionIaPrefix = 26;
inline constexpr std::uint16_t kDhcpv6OptionSolMaxRt = 82;

// Fixed parts of the options that carry more options inside.
inline constexpr std::size_t kDhcpv6IaFixedSize = 12;         // IAID, T1, T2 (IA_NA and IA_PD)
inline constexpr std::size_t kDhcpv6IaAddressFixedSize = 24;  // address, preferred, valid
inline constexpr std::size_t kDhcpv6IaPrefixFixedSize = 25;   // preferred, valid, length, prefix

// DUID types and sizes (RFC 8415 section 11).
inline constexpr std::uint16_t kDuidLinkLayerTime = 1;
inline constexpr std::uint16_t kDuidEnterprise = 2;
inline constexpr std::uint16_t kDuidLinkLayer = 3;
inline constexpr std::uint16_t kDuidUuid = 4;
inline constexpr std::size_t kDuidMaxSize = 130;  // type and at most 128 bytes
inline constexpr std::uint16_t kDuidHardwareEthernet = 1;

// DHCPv6 status codes.
inline constexpr std::uint16_t kDhcpv6StatusSuccess = 0;
inline constexpr std::uint16_t kDhcpv6StatusUnspecFail = 1;
inline constexpr std::uint16_t kDhcpv6StatusNoAddrsAvail = 2;
inline constexpr std::uint16_t kDhcpv6StatusNoBinding = 3;
inline constexpr std::uint16_t kDhcpv6StatusNotOnLink = 4;
inline constexpr std::uint16_t kDhcpv6StatusUseMulticast = 5;
inline constexpr std::uint16_t kDhcpv6StatusNoPrefixAvail = 6;

// ICMPv6 message types and the Neighbor Discovery sizes.
inline constexpr std::uint8_t kIcmpv6RouterSolicitation = 133;
inline constexpr std::uint8_t kIcmpv6RouterAdvertisement = 134;
inline constexpr std::size_t kRouterSolicitationSize = 8;    // type, code, checksum, reserved
inline constexpr std::size_t kRouterAdvertisementSize = 16;  // up to the first option
inline constexpr std::size_t kIcmpv6ChecksumOffset = 2;
inline constexpr std::size_t kNdOptionUnit = 8;                  // option lengths count 8-byte units
inline constexpr std::uint8_t kNeighborDiscoveryHopLimit = 255;  // proves the sender is on the link

// Router Advertisement flags (RFC 4861, RFC 4191).
inline constexpr std::uint8_t kRaFlagManaged = 0x80;
inline constexpr std::uint8_t kRaFlagOther = 0x40;
inline constexpr std::uint8_t kRaPreferenceMask = 0x18;
inline constexpr int kRaPreferenceShift = 3;
inline constexpr std::uint8_t kRaPreferenceHigh = 1;
inline constexpr std::uint8_t kRaPreferenceMedium = 0;
inline constexpr std::uint8_t kRaPreferenceReserved = 2;
inline constexpr std::uint8_t kRaPreferenceLow = 3;

// Neighbor Discovery option types.
inline constexpr std::uint8_t kNdOptionSourceLinkLayer = 1;
inline constexpr std::uint8_t kNdOptionTargetLinkLayer = 2;
inline constexpr std::uint8_t kNdOptionPrefixInformation = 3;
inline constexpr std::uint8_t kNdOptionRedirectedHeader = 4;
inline constexpr std::uint8_t kNdOptionMtu = 5;
inline constexpr std::uint8_t kNdOptionRouteInformation = 24;
inline constexpr std::uint8_t kNdOptionRdnss = 25;
inline constexpr std::uint8_t kNdOptionDnssl = 31;

// Prefix Information flags.
inline constexpr std::uint8_t kPrefixFlagOnLink = 0x80;
inline constexpr std::uint8_t kPrefixFlagAutonomous = 0x40;
