// An option's value read by the kind of its code, ready for any writer (JSON, text).
#include "protocol/option_values.h"

#include <cstdio>

namespace {

Ipv4Address address_at(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return {d[at], d[at + 1], d[at + 2], d[at + 3]};
}

std::uint32_t u32_at(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return static_cast<std::uint32_t>(d[at]) << 24 | static_cast<std::uint32_t>(d[at + 1]) << 16 |
           static_cast<std::uint32_t>(d[at + 2]) << 8 | d[at + 3];
}

std::vector<ClasslessRoute> classless_routes(const std::vector<std::uint8_t>& d)
{
    std::vector<ClasslessRoute> routes;
    std::size_t at = 0;
    while (at < d.size()) {
        ClasslessRoute route;
        route.prefix_length = d[at];
        const std::size_t significant = (static_cast<std::size_t>(route.prefix_length) + 7) / 8;
        // The route fits (checked before), so its width is within 32; the bound says so where GCC 12 at -O3
        // can see it.
        for (std::size_t k = 0; k < significant && k < route.destination.size(); ++k)
            route.destination[k] = d[at + 1 + k];
        route.router = address_at(d, at + 1 + significant);
        routes.push_back(route);
        at += 1 + significant + 4;
    }
    return routes;
}

OptionValue hex_value(const std::vector<std::uint8_t>& d)
{
    OptionValue value;
    value.form = ValueForm::hex;
    value.text = hex_text(d.data(), d.size());
    return value;
}

// The value of an option that suits its kind.
OptionValue fitting_value(const DhcpOption& option)
{
    const std::vector<std::uint8_t>& d = option.data;
    OptionValue value;
    switch (option_info(option.code).kind) {
        case OptionKind::hex: return hex_value(d);
        case OptionKind::address:
            value.form = ValueForm::address;
            value.addresses.push_back(address_at(d, 0));
            return value;
        case OptionKind::addresses:
        case OptionKind::address_pairs:
            value.form = option_info(option.code).kind == OptionKind::addresses ? ValueForm::addresses
                                                                                : ValueForm::address_pairs;
            for (std::size_t at = 0; at < d.size(); at += 4) value.addresses.push_back(address_at(d, at));
            return value;
        case OptionKind::u8:
            value.form = ValueForm::number;
            value.numbers.push_back(d[0]);
            return value;
        case OptionKind::u16:
            value.form = ValueForm::number;
            value.numbers.push_back(d[0] << 8 | d[1]);
            return value;
        case OptionKind::u32:
            value.form = ValueForm::number;
            value.numbers.push_back(u32_at(d, 0));
            return value;
        case OptionKind::i32:
            value.form = ValueForm::number;
            value.numbers.push_back(static_cast<std::int32_t>(u32_at(d, 0)));
            return value;
        case OptionKind::u16_list:
            value.form = ValueForm::numbers;
            for (std::size_t at = 0; at < d.size(); at += 2) value.numbers.push_back(d[at] << 8 | d[at + 1]);
            return value;
        case OptionKind::code_list:
            value.form = ValueForm::numbers;
            value.numbers.assign(d.begin(), d.end());
            return value;
        case OptionKind::boolean:
            value.form = ValueForm::flag;
            value.flag = d[0] == 1;
            return value;
        case OptionKind::text: {
            std::size_t length = d.size();
            while (length > 0 && d[length - 1] == 0) --length;  // some servers end strings with NULs
            value.form = ValueForm::text;
            value.text.assign(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(length));
            return value;
        }
        case OptionKind::message_type: {
            value.form = ValueForm::message_type;
            const char* name = message_type_name(d[0]);
            if (name != nullptr)
                value.text = name;
            else
                value.numbers.push_back(d[0]);
            return value;
        }
        case OptionKind::classless_routes:
            value.form = ValueForm::routes;
            value.routes = classless_routes(d);
            return value;
        case OptionKind::empty: value.form = ValueForm::present; return value;
    }
    return hex_value(d);
}

}  // namespace

std::string hex_text(const std::uint8_t* data, std::size_t length, const char* separator)
{
    std::string text;
    char pair[3];
    for (std::size_t k = 0; k < length; ++k) {
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(data[k]));
        if (k > 0) text += separator;
        text += pair;
    }
    return text;
}

OptionValue read_option_value(const DhcpOption& option)
{
    if (option_value_fits(option)) return fitting_value(option);
    // Some servers repeat a fixed-size option (a second server identifier, say) instead of joining it.
    if (option.part_lengths.size() >= 2) {
        OptionValue value;
        value.form = ValueForm::parts;
        for (std::size_t k = 0; k < option.part_lengths.size(); ++k) {
            const DhcpOption part = option_part(option, k);
            if (!option_value_fits(part)) return hex_value(option.data);
            value.parts.push_back(fitting_value(part));
        }
        return value;
    }
    return hex_value(option.data);
}
