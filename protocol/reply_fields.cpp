// A reply read whole for the probe: the fixed BOOTP fields and every option.
#include "protocol/reply_fields.h"

#include <cstdio>

namespace {

Ipv4Address address_at(const std::uint8_t* data, std::size_t offset)
{
    return {data[offset], data[offset + 1], data[offset + 2], data[offset + 3]};
}

std::uint16_t u16_at(const std::uint8_t* data, std::size_t offset)
{
    return static_cast<std::uint16_t>((data[offset] << 8) | data[offset + 1]);
}

std::string field_text(const std::uint8_t* data, std::size_t offset, std::size_t size)
{
    std::string text;
    for (std::size_t k = 0; k < size && data[offset + k] != 0; ++k) text.push_back(static_cast<char>(data[offset + k]));
    return text;
}

// An address option; when a server repeats it, the last occurrence counts, as in the window
// program's walk, so the probe's server is the one its report block names.
bool take_address(const OptionWalk& walk, std::uint8_t code, Ipv4Address& address)
{
    const DhcpOption* option = find_option(walk, code);
    if (option == nullptr || option->part_lengths.empty() || option->part_lengths.back() != 4) return false;
    address = address_at(option->data.data(), option->data.size() - 4);
    return true;
}

}  // namespace

ReplyFields decode_reply_fields(const std::uint8_t* data, std::size_t length)
{
    ReplyFields fields;
    if (length < kBootpHeaderSize) return fields;
    fields.has_header = true;
    fields.op = data[0];
    fields.hardware_type = data[1];
    fields.hardware_length = data[2];
    fields.hops = data[3];
    for (std::size_t k = 0; k < 4; ++k) fields.transaction_id[k] = data[4 + k];
    fields.seconds = u16_at(data, 8);
    fields.flags = u16_at(data, 10);
    fields.client_address = address_at(data, 12);
    fields.offered_address = address_at(data, 16);
    fields.next_server = address_at(data, 20);
    fields.relay_address = address_at(data, 24);
    for (std::size_t k = 0; k < 16; ++k) fields.client_hardware[k] = data[28 + k];
    fields.walk = walk_options(data, length);

    const DhcpOption* overload = find_option(fields.walk, kOptionOverload);
    const std::uint8_t which = overload != nullptr && overload->data.size() == 1 ? overload->data[0] : 0;
    if (which != 2 && which != 3) fields.server_name = field_text(data, 44, 64);
    if (which != 1 && which != 3) fields.boot_file = field_text(data, 108, 128);

    const DhcpOption* type = find_option(fields.walk, kOptionMessageType);
    if (type != nullptr && type->data.size() == 1) {
        fields.has_message_type = true;
        fields.message_type = type->data[0];
    }
    fields.has_server_identifier = take_address(fields.walk, kOptionServerIdentifier, fields.server_identifier);
    fields.has_subnet_mask = take_address(fields.walk, kOptionSubnetMask, fields.subnet_mask);
    return fields;
}

bool answers_request(const ReplyFields& fields, const std::array<std::uint8_t, 4>& transaction_id)
{
    if (!fields.has_header || fields.op != kBootReply || !fields.walk.has_cookie) return false;
    for (std::size_t k = 0; k < transaction_id.size(); ++k)
        if (fields.transaction_id[k] != transaction_id[k]) return false;
    return true;
}
