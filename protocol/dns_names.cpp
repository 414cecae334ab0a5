// Uncompressed DNS name lists decoded to dotted text, refusing compression and odd labels.
#include "protocol/dns_names.h"

namespace {

constexpr std::size_t kMaxNameWireSize = 255;
constexpr std::uint8_t kLabelTypeMask = 0xc0;
constexpr std::uint8_t kPointerBits = 0xc0;

// Names here end up in reports and allow-lists, so only host-name characters are taken.
bool is_name_character(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

}  // namespace

DnsNameList decode_dns_name_list(const std::uint8_t* data, std::size_t size, bool zero_padding_ends_list)
{
    DnsNameList list;
    std::size_t at = 0;
    const auto fail = [&list](DnsNameProblem problem, std::size_t offset) {
        list.problem = problem;
        list.problem_offset = offset;
        return list;
    };
    while (at < size) {
        if (zero_padding_ends_list && data[at] == 0) {
            for (std::size_t pad = at; pad < size; ++pad)
                if (data[pad] != 0) return fail(DnsNameProblem::kBadLabel, pad);
            return list;
        }
        const std::size_t start = at;
        std::string name;
        for (;;) {
            if (at >= size) return fail(DnsNameProblem::kTruncated, at);
            const std::uint8_t length = data[at];
            if ((length & kLabelTypeMask) == kPointerBits) return fail(DnsNameProblem::kCompressed, at);
            if ((length & kLabelTypeMask) != 0) return fail(DnsNameProblem::kBadLabel, at);
            if (at - start + 1 + length > kMaxNameWireSize) return fail(DnsNameProblem::kTooLong, at);
            if (length == 0) {
                ++at;
                break;
            }
            if (size - at - 1 < length) return fail(DnsNameProblem::kTruncated, at);
            if (!name.empty()) name += '.';
            for (std::size_t i = 1; i <= length; ++i) {
                if (!is_name_character(data[at + i])) return fail(DnsNameProblem::kBadLabel, at + i);
                name += static_cast<char>(data[at + i]);
            }
            at += 1 + length;
        }
        list.names.push_back(name.empty() ? "." : name);
    }
    return list;
}

const char* dns_name_problem_text(DnsNameProblem problem)
{
    switch (problem) {
        case DnsNameProblem::kNone: return "none";
        case DnsNameProblem::kCompressed: return "compressed name";
        case DnsNameProblem::kBadLabel: return "bad label";
        case DnsNameProblem::kTruncated: return "name runs past its option";
        case DnsNameProblem::kTooLong: return "name longer than 255 bytes";
    }
    return "unknown";
}
