// Unicode's format characters (general category Cf), from the Unicode 15 character database.
#include "cli/format_characters.h"

#include <algorithm>
#include <iterator>

namespace {

struct CodeRange {
    std::uint32_t first, last;
};

// Sorted, not overlapping.
constexpr CodeRange kFormatRanges[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

}  // namespace

bool is_format_character(std::uint32_t code_point)
{
    const auto* after =
        std::upper_bound(std::begin(kFormatRanges), std::end(kFormatRanges), code_point,
                         [](std::uint32_t value, const CodeRange& range) { return value < range.first; });
    return after != std::begin(kFormatRanges) && code_point <= std::prev(after)->last;
}
