// libFuzzer target: the probe's full decoding of a reply (the fixed fields, the option walk with pad,
// overload and repeats) and every option's value. The datagram lies in a buffer of exactly its size, so
// any read past its end stops the run; the values must agree with the bytes they were read from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/option_values.h"
#include "protocol/reply_fields.h"

namespace {

void check(bool holds, const char* what)
{
    if (holds) return;
    std::fprintf(stderr, "reply_fields_fuzz: %s\n", what);
    std::abort();
}

// A value read from size bytes of its kind must account for exactly those bytes.
void check_value(const OptionValue& value, std::size_t size)
{
    switch (value.form) {
        case ValueForm::hex: check(value.text.size() == 2 * size, "hex text of the wrong length"); break;
        case ValueForm::address: check(size == 4 && value.addresses.size() == 1, "an address not of 4 bytes"); break;
        case ValueForm::addresses:
        case ValueForm::address_pairs:
            check(value.addresses.size() * 4 == size, "addresses that do not cover the option");
            break;
        case ValueForm::text:
            check(value.text.size() <= size && !value.text.empty(), "text longer than the option");
            break;
        case ValueForm::routes: check(!value.routes.empty(), "routes without a route"); break;
        case ValueForm::present: check(size == 0, "a presence option with bytes"); break;
        default: break;
    }
    for (const ClasslessRoute& route : value.routes) check(route.prefix_length <= 32, "a route wider than 32 bits");
    for (const OptionValue& part : value.parts) check_value(part, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1400) return -1;
    const std::vector<std::uint8_t> datagram(data, data + size);
    const ReplyFields fields = decode_reply_fields(datagram.data(), datagram.size());
    check(fields.has_header == (size >= kBootpHeaderSize), "header presence");
    std::size_t option_bytes = 0;
    for (const DhcpOption& option : fields.walk.options) {
        std::size_t parts = 0;
        for (const std::size_t length : option.part_lengths) parts += length;
        check(parts == option.data.size(), "the parts do not add up to the option");
        check(option.code != kOptionPad && option.code != kOptionEnd, "pad or end taken as an option");
        option_bytes += option.data.size() + 2 * option.part_lengths.size();
        const OptionValue value = read_option_value(option);
        if (value.form == ValueForm::parts) {
            check(value.parts.size() == option.part_lengths.size(), "a value per occurrence");
            for (std::size_t k = 0; k < value.parts.size(); ++k) check_value(value.parts[k], option.part_lengths[k]);
        } else {
            check_value(value, option.data.size());
        }
    }
    // Every option byte and its code and length byte came from the options, file or sname fields.
    check(option_bytes <= (size > kOptionsOffset ? size - kOptionsOffset : 0) + kServerNameSize + kBootFileSize,
          "more option bytes than fields");
    if (fields.has_server_identifier) check(find_option(fields.walk, kOptionServerIdentifier) != nullptr, "identifier");
    return 0;
}
