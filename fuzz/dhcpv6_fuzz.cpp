// libFuzzer target: raw bytes as a DHCPv6 message through the decoder, which must place every option it
// reports inside the input and hand back only clean names; and a SOLICIT built from fuzz-chosen fields,
// which must decode to exactly those fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/dhcpv6_wire.h"
#include "protocol/dhcpv6_message.h"
#include "protocol/dhcpv6_solicit.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "dhcpv6_fuzz: %s\n", what);
    std::abort();
}

void check_name(const std::string& name)
{
    check(!name.empty() && name.size() <= 254, "name length");
    if (name == ".") return;
    std::size_t label = 0;
    for (const char c : name) {
        if (c == '.') {
            check(label > 0, "empty label");
            label = 0;
            continue;
        }
        check((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_',
              "character outside a host name");
        check(++label <= 63, "label over 63");
    }
    check(label > 0, "name ends in a dot");
}

void check_message(const Dhcpv6Message& m, std::size_t size)
{
    for (const Dhcpv6OptionSpan& option : m.other_options)
        check(option.offset + kDhcpv6OptionHeaderSize + option.length <= size, "option outside the input");
    for (const Dhcpv6Fault& fault : m.faults) check(fault.offset <= size, "fault outside the input");
    if (m.has_relay_message)
        check(m.relay_message_offset + m.relay_message_length <= size, "relay message outside the input");
    check(m.client_id.bytes.size() <= size && m.server_id.bytes.size() <= size, "DUID longer than the input");
    for (const std::string& domain : m.domains) check_name(domain);
    for (const auto* list : {&m.ia_na, &m.ia_pd})
        for (const Dhcpv6IdentityAssociation& ia : *list) {
            for (const Dhcpv6IaPrefix& prefix : ia.prefixes) check(prefix.prefix_length <= 128, "prefix over 128");
            for (const Dhcpv6Status& status : ia.statuses) check(status.message.size() <= size, "status text");
        }
    if (m.has_server_id && !m.server_id.bytes.empty()) {
        std::vector<std::uint8_t> back;
        check(parse_duid_hex(duid_hex_text(m.server_id.bytes), back) && back == m.server_id.bytes, "DUID hex");
    }
}

void check_solicit_round_trip(const std::uint8_t* data, std::size_t size)
{
    if (size < 16) return;
    SolicitFields fields;
    for (std::size_t i = 0; i < 3; ++i) fields.transaction_id[i] = data[i];
    for (std::size_t i = 0; i < 6; ++i) fields.client_address[i] = data[3 + i];
    fields.elapsed_hundredths = static_cast<std::uint16_t>(data[9] << 8 | data[10]);
    fields.iaid = static_cast<std::uint32_t>(data[11]) << 24 | static_cast<std::uint32_t>(data[12]) << 16 |
                  static_cast<std::uint32_t>(data[13]) << 8 | data[14];
    fields.prefix_delegation = (data[15] & 1) != 0;
    const std::vector<std::uint8_t> solicit = build_solicit(fields);
    check(solicit.size() == solicit_size(fields), "size");
    std::vector<std::uint8_t> small(solicit.size() - 1);
    check(build_solicit(fields, small.data(), small.size()) == 0, "wrote into a small buffer");
    const Dhcpv6Message m = decode_dhcpv6(solicit.data(), solicit.size()).message;
    check(m.faults.empty() && m.other_options.empty(), "SOLICIT decodes with faults");
    check(m.message_type == kDhcpv6Solicit && m.transaction_id == fields.transaction_id, "header back");
    check(m.has_client_id && m.client_id.type == kDuidLinkLayer && m.client_id.hardware_type == kDuidHardwareEthernet &&
              m.client_id.link_layer_address ==
                  std::vector<std::uint8_t>(fields.client_address.begin(), fields.client_address.end()),
          "client DUID back");
    check(m.has_elapsed_time && m.elapsed_hundredths == fields.elapsed_hundredths, "elapsed time back");
    check(m.ia_na.size() == 1 && m.ia_na[0].iaid == fields.iaid && m.ia_na[0].t1 == 0 && m.ia_na[0].t2 == 0,
          "IA_NA back");
    check(m.ia_pd.size() == (fields.prefix_delegation ? 1u : 0u), "IA_PD back");
    check(!m.rapid_commit && !m.has_server_id, "SOLICIT asks for a commit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return -1;
    // A buffer of exactly the input's size, so a read past it stops the run.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const Dhcpv6Decoded decoded = decode_dhcpv6(bytes.data(), bytes.size());
    const bool relay = size > 0 && (data[0] == kDhcpv6RelayForward || data[0] == kDhcpv6RelayReply);
    check(decoded.message.has_header == (size >= (relay ? kDhcpv6RelayHeaderSize : kDhcpv6HeaderSize)), "header");
    check_message(decoded.message, size);
    check(decoded.has_inner == decoded.message.has_relay_message, "inner message");
    if (decoded.has_inner) check_message(decoded.inner, size);
    check_solicit_round_trip(data, size);
    return 0;
}
