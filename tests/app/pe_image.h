// A small reader of PE images (32- and 64-bit) for the tests: headers, imports, resources and dialog templates.
// Portable: it reads the file's bytes and never trusts an offset it has not checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PeSection {
    std::uint32_t virtual_address = 0;
    std::uint32_t virtual_size = 0;
    std::uint32_t raw_offset = 0;
    std::uint32_t raw_size = 0;
};

struct PeResource {
    std::uint32_t type = 0;  // numeric type (RT_...); 0 when the type was a name
    std::uint32_t name = 0;  // numeric name; 0 when the name was a string
    std::uint32_t language = 0;
    bool named = false;  // type or name given as a string
    std::vector<std::uint8_t> data;
};

struct PeImage {
    std::uint16_t machine = 0;
    std::uint16_t optional_magic = 0;
    std::uint16_t subsystem = 0;
    std::vector<std::string> imports;  // DLL names as written
    std::uint32_t delay_import_size = 0;
    std::vector<PeResource> resources;
};

// Reads the image; an error text instead when the bytes are not a well-formed PE32 or PE32+ image.
struct PeLoad {
    std::optional<PeImage> image;
    std::string error;
};
PeLoad load_pe_image(const std::vector<std::uint8_t>& bytes);

const PeResource* find_resource(const PeImage& image, std::uint32_t type, std::uint32_t name);

// A name or ordinal field of a dialog template: a string, an ordinal, or nothing.
struct NameOrOrdinal {
    bool is_ordinal = false;
    std::uint16_t ordinal = 0;
    std::string text;  // UTF-16 code units below 256 as bytes; others as '?'
    bool operator==(const NameOrOrdinal&) const = default;
};

struct DialogItem {
    std::uint32_t help_id = 0;
    std::uint32_t ex_style = 0;
    std::uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    std::int32_t id = 0;  // sign-extended from the classic template's 16 bits
    NameOrOrdinal window_class;
    NameOrOrdinal text;
    std::uint16_t extra_count = 0;
};

struct DialogTemplate {
    bool extended = false;
    std::uint32_t help_id = 0;
    std::uint32_t ex_style = 0;
    std::uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    NameOrOrdinal menu;
    NameOrOrdinal window_class;
    std::string title;
    bool has_font = false;
    std::uint16_t font_points = 0;
    std::uint16_t font_weight = 0;  // extended templates only
    std::uint8_t font_italic = 0;
    std::uint8_t font_charset = 0;
    std::string font_face;
    std::vector<DialogItem> items;
};

// Decodes a DLGTEMPLATE or DLGTEMPLATEEX; nothing when the bytes run out or do not fit.
std::optional<DialogTemplate> decode_dialog(const std::vector<std::uint8_t>& bytes);
