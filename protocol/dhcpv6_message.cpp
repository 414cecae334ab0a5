// DHCPv6 message decoding: the header, the option walk at each level of nesting, and the options the
// probe reports; every length is checked against its container before it is used.
#include "protocol/dhcpv6_message.h"

#include "common/dhcpv6_wire.h"
#include "protocol/dns_names.h"

namespace {

struct Option {
    std::uint16_t code = 0;
    std::size_t offset = 0;  // of the code
    std::size_t value = 0;   // of the first value byte
    std::size_t length = 0;
};

std::uint16_t read16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

std::uint32_t read32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

Ipv6Address read_address(const std::uint8_t* p)
{
    Ipv6Address address{};
    for (std::size_t i = 0; i < address.size(); ++i) address[i] = p[i];
    return address;
}

void add_fault(Dhcpv6Message& message, Dhcpv6Problem problem, std::uint16_t code, std::size_t offset)
{
    message.faults.push_back({problem, code, offset});
}

// The next option in data[at..end); false at the end or when what is left cannot hold the option, which
// ends the walk at this level (the container's length is all there is to go by).
bool next_option(const std::uint8_t* data, std::size_t& at, std::size_t end, Dhcpv6Message& message, Option& option)
{
    if (at >= end) return false;
    if (end - at < kDhcpv6OptionHeaderSize) {
        add_fault(message, Dhcpv6Problem::kTruncatedOption, 0, at);
        at = end;
        return false;
    }
    option.code = read16(data + at);
    option.length = read16(data + at + 2);
    option.offset = at;
    option.value = at + kDhcpv6OptionHeaderSize;
    if (option.length > end - option.value) {
        add_fault(message, Dhcpv6Problem::kOptionOverrun, option.code, at);
        at = end;
        return false;
    }
    at = option.value + option.length;
    return true;
}

void note_other(Dhcpv6Message& message, const Option& option, std::uint16_t container)
{
    message.other_options.push_back({option.code, option.length, option.offset, container});
}

bool decode_status(const std::uint8_t* data, const Option& option, Dhcpv6Message& message,
                   std::vector<Dhcpv6Status>& statuses)
{
    if (option.length < 2) {
        add_fault(message, Dhcpv6Problem::kBadOptionLength, option.code, option.offset);
        return false;
    }
    Dhcpv6Status status;
    status.code = read16(data + option.value);
    status.message.assign(reinterpret_cast<const char*>(data + option.value + 2), option.length - 2);
    statuses.push_back(status);
    return true;
}

// Status codes inside an IA Address or IA Prefix; anything else there is listed.
void decode_lease_options(const std::uint8_t* data, std::size_t at, std::size_t end, std::uint16_t container,
                          Dhcpv6Message& message, std::vector<Dhcpv6Status>& statuses)
{
    Option option;
    while (next_option(data, at, end, message, option)) {
        if (option.code == kDhcpv6OptionStatusCode)
            decode_status(data, option, message, statuses);
        else
            note_other(message, option, container);
    }
}

void decode_ia_address(const std::uint8_t* data, const Option& option, Dhcpv6Message& message,
                       Dhcpv6IdentityAssociation& ia)
{
    if (option.length < kDhcpv6IaAddressFixedSize) {
        add_fault(message, Dhcpv6Problem::kBadOptionLength, option.code, option.offset);
        return;
    }
    const std::uint8_t* p = data + option.value;
    Dhcpv6IaAddress address;
    address.address = read_address(p);
    address.preferred_lifetime = read32(p + 16);
    address.valid_lifetime = read32(p + 20);
    decode_lease_options(data, option.value + kDhcpv6IaAddressFixedSize, option.value + option.length, option.code,
                         message, address.statuses);
    ia.addresses.push_back(address);
}

void decode_ia_prefix(const std::uint8_t* data, const Option& option, Dhcpv6Message& message,
                      Dhcpv6IdentityAssociation& ia)
{
    if (option.length < kDhcpv6IaPrefixFixedSize) {
        add_fault(message, Dhcpv6Problem::kBadOptionLength, option.code, option.offset);
        return;
    }
    const std::uint8_t* p = data + option.value;
    Dhcpv6IaPrefix prefix;
    prefix.preferred_lifetime = read32(p);
    prefix.valid_lifetime = read32(p + 4);
    if (p[8] > 128) {
        add_fault(message, Dhcpv6Problem::kBadPrefixLength, option.code, option.offset);
        return;
    }
    prefix.prefix_length = p[8];
    prefix.prefix = read_address(p + 9);
    decode_lease_options(data, option.value + kDhcpv6IaPrefixFixedSize, option.value + option.length, option.code,
                         message, prefix.statuses);
    ia.prefixes.push_back(prefix);
}

// IA_NA or IA_PD: the fixed part, then IA Addresses or IA Prefixes and status codes.
void decode_identity_association(const std::uint8_t* data, const Option& option, Dhcpv6Message& message)
{
    if (option.length < kDhcpv6IaFixedSize) {
        add_fault(message, Dhcpv6Problem::kBadOptionLength, option.code, option.offset);
        return;
    }
    const std::uint8_t* p = data + option.value;
    Dhcpv6IdentityAssociation ia;
    ia.iaid = read32(p);
    ia.t1 = read32(p + 4);
    ia.t2 = read32(p + 8);
    const bool prefixes = option.code == kDhcpv6OptionIaPd;
    std::size_t at = option.value + kDhcpv6IaFixedSize;
    const std::size_t end = option.value + option.length;
    Option inner;
    while (next_option(data, at, end, message, inner)) {
        if (inner.code == kDhcpv6OptionStatusCode)
            decode_status(data, inner, message, ia.statuses);
        else if (!prefixes && inner.code == kDhcpv6OptionIaAddress)
            decode_ia_address(data, inner, message, ia);
        else if (prefixes && inner.code == kDhcpv6OptionIaPrefix)
            decode_ia_prefix(data, inner, message, ia);
        else
            note_other(message, inner, option.code);
    }
    (prefixes ? message.ia_pd : message.ia_na).push_back(ia);
}

void decode_duid_option(const std::uint8_t* data, const Option& option, Dhcpv6Message& message, bool& has,
                        Dhcpv6Duid& duid)
{
    if (has) {
        add_fault(message, Dhcpv6Problem::kRepeatedOption, option.code, option.offset);
        return;
    }
    has = true;
    duid = decode_duid(data + option.value, option.length);
    if (!duid.well_formed) add_fault(message, Dhcpv6Problem::kBadDuid, option.code, option.offset);
}

void decode_domain_list(const std::uint8_t* data, const Option& option, Dhcpv6Message& message)
{
    const DnsNameList list = decode_dns_name_list(data + option.value, option.length, false);
    message.domains.insert(message.domains.end(), list.names.begin(), list.names.end());
    if (list.problem == DnsNameProblem::kCompressed)
        add_fault(message, Dhcpv6Problem::kCompressedName, option.code, option.offset);
    else if (list.problem != DnsNameProblem::kNone)
        add_fault(message, Dhcpv6Problem::kBadName, option.code, option.offset);
}

// Options whose value must have an exact size (or a multiple of one); false, with a fault, otherwise.
bool length_fits(const Option& option, std::size_t unit, bool multiple, Dhcpv6Message& message)
{
    const bool fits = multiple ? option.length % unit == 0 : option.length == unit;
    if (!fits) add_fault(message, Dhcpv6Problem::kBadOptionLength, option.code, option.offset);
    return fits;
}

void decode_top_option(const std::uint8_t* data, const Option& option, Dhcpv6Message& message)
{
    const std::uint8_t* p = data + option.value;
    switch (option.code) {
        case kDhcpv6OptionClientId:
            decode_duid_option(data, option, message, message.has_client_id, message.client_id);
            return;
        case kDhcpv6OptionServerId:
            decode_duid_option(data, option, message, message.has_server_id, message.server_id);
            return;
        case kDhcpv6OptionIaNa:
        case kDhcpv6OptionIaPd: decode_identity_association(data, option, message); return;
        case kDhcpv6OptionStatusCode: decode_status(data, option, message, message.statuses); return;
        case kDhcpv6OptionDomainList: decode_domain_list(data, option, message); return;
        case kDhcpv6OptionPreference:
            if (!length_fits(option, 1, false, message)) return;
            if (message.has_preference) {
                add_fault(message, Dhcpv6Problem::kRepeatedOption, option.code, option.offset);
                return;
            }
            message.has_preference = true;
            message.preference = p[0];
            return;
        case kDhcpv6OptionElapsedTime:
            if (!length_fits(option, 2, false, message)) return;
            message.has_elapsed_time = true;
            message.elapsed_hundredths = read16(p);
            return;
        case kDhcpv6OptionRequest:
            if (!length_fits(option, 2, true, message)) return;
            for (std::size_t at = 0; at < option.length; at += 2) message.requested_options.push_back(read16(p + at));
            return;
        case kDhcpv6OptionDnsServers:
            if (!length_fits(option, 16, true, message)) return;
            for (std::size_t at = 0; at < option.length; at += 16) message.dns_servers.push_back(read_address(p + at));
            return;
        case kDhcpv6OptionRapidCommit:
            if (length_fits(option, 0, false, message)) message.rapid_commit = true;
            return;
        case kDhcpv6OptionServerUnicast:
            if (!length_fits(option, 16, false, message)) return;
            message.has_server_unicast = true;
            message.server_unicast = read_address(p);
            return;
        case kDhcpv6OptionRelayMessage:
            if (!message.is_relay) break;
            if (message.has_relay_message) {
                add_fault(message, Dhcpv6Problem::kRepeatedOption, option.code, option.offset);
                return;
            }
            message.has_relay_message = true;
            message.relay_message_offset = option.value;
            message.relay_message_length = option.length;
            return;
        default: break;
    }
    note_other(message, option, 0);
}

bool is_relay_type(std::uint8_t type)
{
    return type == kDhcpv6RelayForward || type == kDhcpv6RelayReply;
}

Dhcpv6Message decode_message(const std::uint8_t* data, std::size_t begin, std::size_t end)
{
    Dhcpv6Message message;
    if (begin < end) message.message_type = data[begin];
    message.is_relay = begin < end && is_relay_type(message.message_type);
    const std::size_t header = message.is_relay ? kDhcpv6RelayHeaderSize : kDhcpv6HeaderSize;
    if (end - begin < header) {
        add_fault(message, Dhcpv6Problem::kTruncatedHeader, 0, begin);
        return message;
    }
    message.has_header = true;
    const std::uint8_t* p = data + begin;
    if (message.is_relay) {
        message.hop_count = p[1];
        message.link_address = read_address(p + 2);
        message.peer_address = read_address(p + 18);
    } else {
        for (std::size_t i = 0; i < kDhcpv6TransactionIdSize; ++i) message.transaction_id[i] = p[1 + i];
    }
    std::size_t at = begin + header;
    Option option;
    while (next_option(data, at, end, message, option)) decode_top_option(data, option, message);
    return message;
}

}  // namespace

Dhcpv6Decoded decode_dhcpv6(const std::uint8_t* data, std::size_t size)
{
    Dhcpv6Decoded decoded;
    decoded.message = decode_message(data, 0, size);
    const Dhcpv6Message& outer = decoded.message;
    if (outer.has_relay_message) {
        decoded.has_inner = true;
        decoded.inner =
            decode_message(data, outer.relay_message_offset, outer.relay_message_offset + outer.relay_message_length);
        // A message relayed twice arrives only between relays; one level is what a probe on the link sees.
        if (decoded.inner.has_relay_message)
            add_fault(decoded.inner, Dhcpv6Problem::kNestedRelayNotFollowed, kDhcpv6OptionRelayMessage,
                      decoded.inner.relay_message_offset - kDhcpv6OptionHeaderSize);
    }
    return decoded;
}

const char* dhcpv6_message_type_name(std::uint8_t message_type)
{
    switch (message_type) {
        case kDhcpv6Solicit: return "SOLICIT";
        case kDhcpv6Advertise: return "ADVERTISE";
        case kDhcpv6Request: return "REQUEST";
        case kDhcpv6Confirm: return "CONFIRM";
        case kDhcpv6Renew: return "RENEW";
        case kDhcpv6Rebind: return "REBIND";
        case kDhcpv6Reply: return "REPLY";
        case kDhcpv6Release: return "RELEASE";
        case kDhcpv6Decline: return "DECLINE";
        case kDhcpv6Reconfigure: return "RECONFIGURE";
        case kDhcpv6InformationRequest: return "INFORMATION-REQUEST";
        case kDhcpv6RelayForward: return "RELAY-FORW";
        case kDhcpv6RelayReply: return "RELAY-REPL";
        case kDhcpv6LeaseQuery: return "LEASEQUERY";
        case kDhcpv6LeaseQueryReply: return "LEASEQUERY-REPLY";
        default: return "UNKNOWN";
    }
}

const char* dhcpv6_status_name(std::uint16_t code)
{
    switch (code) {
        case kDhcpv6StatusSuccess: return "Success";
        case kDhcpv6StatusUnspecFail: return "UnspecFail";
        case kDhcpv6StatusNoAddrsAvail: return "NoAddrsAvail";
        case kDhcpv6StatusNoBinding: return "NoBinding";
        case kDhcpv6StatusNotOnLink: return "NotOnLink";
        case kDhcpv6StatusUseMulticast: return "UseMulticast";
        case kDhcpv6StatusNoPrefixAvail: return "NoPrefixAvail";
        default: return "unknown";
    }
}

const char* dhcpv6_problem_text(Dhcpv6Problem problem)
{
    switch (problem) {
        case Dhcpv6Problem::kTruncatedHeader: return "message shorter than its header";
        case Dhcpv6Problem::kTruncatedOption: return "option header cut short";
        case Dhcpv6Problem::kOptionOverrun: return "option runs past its container";
        case Dhcpv6Problem::kBadOptionLength: return "option length wrong for its kind";
        case Dhcpv6Problem::kBadDuid: return "malformed DUID";
        case Dhcpv6Problem::kBadPrefixLength: return "prefix length above 128";
        case Dhcpv6Problem::kRepeatedOption: return "option repeated";
        case Dhcpv6Problem::kCompressedName: return "compressed domain name";
        case Dhcpv6Problem::kBadName: return "bad domain name";
        case Dhcpv6Problem::kNestedRelayNotFollowed: return "relay inside relay not decoded";
    }
    return "unknown";
}
