// Unicode's format characters (general category Cf): bidi controls, zero-width marks, tags. Invisible on a
// terminal, yet they reorder or hide what is around them, so network text shows them escaped.
#pragma once

#include <cstdint>

// True for a code point of category Cf (Unicode 15). Pure.
bool is_format_character(std::uint32_t code_point);
