// A small reader of PE images (32- and 64-bit) for the tests: headers, imports, resources and dialog templates.
#include "pe_image.h"

#include <cstddef>

namespace {

// Little-endian reads with a sticky failure flag instead of reading past the end.
struct Cursor {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at = 0;
    bool failed = false;

    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= bytes.size() && count <= bytes.size() - offset;
    }
    std::uint32_t read(std::size_t offset, int width)
    {
        if (!has(offset, static_cast<std::size_t>(width))) {
            failed = true;
            return 0;
        }
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[offset + static_cast<std::size_t>(i)];
        return value;
    }
    std::uint8_t u8(std::size_t offset)
    {
        return static_cast<std::uint8_t>(read(offset, 1));
    }
    std::uint16_t u16(std::size_t offset)
    {
        return static_cast<std::uint16_t>(read(offset, 2));
    }
    std::uint32_t u32(std::size_t offset)
    {
        return read(offset, 4);
    }

    // The same, moving along.
    std::uint8_t next8()
    {
        return u8((at += 1) - 1);
    }
    std::uint16_t next16()
    {
        return u16((at += 2) - 2);
    }
    std::uint32_t next32()
    {
        return u32((at += 4) - 4);
    }
    void align(std::size_t to)
    {
        at = (at + to - 1) / to * to;
    }
};

char narrow(std::uint16_t unit)
{
    return unit < 256 ? static_cast<char>(unit) : '?';
}

std::string next_string(Cursor& c)
{
    std::string text;
    for (;;) {
        const std::uint16_t unit = c.next16();
        if (c.failed || unit == 0) return text;
        text.push_back(narrow(unit));
    }
}

NameOrOrdinal next_name_or_ordinal(Cursor& c)
{
    NameOrOrdinal field;
    const std::uint16_t first = c.u16(c.at);
    if (first == 0xFFFF) {
        c.at += 2;
        field.is_ordinal = true;
        field.ordinal = c.next16();
        return field;
    }
    field.text = next_string(c);
    return field;
}

struct Layout {
    std::vector<PeSection> sections;
    std::optional<std::size_t> offset_of(std::uint32_t rva, std::uint32_t length) const
    {
        for (const PeSection& s : sections) {
            const std::uint32_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
            if (rva >= s.virtual_address && rva - s.virtual_address < span) {
                const std::uint32_t inside = rva - s.virtual_address;
                if (inside > s.raw_size || length > s.raw_size - inside) return std::nullopt;
                return static_cast<std::size_t>(s.raw_offset) + inside;
            }
        }
        return std::nullopt;
    }
};

std::string c_string_at(Cursor& c, std::size_t offset)
{
    std::string text;
    while (c.has(offset, 1) && c.bytes[offset] != 0 && text.size() < 256)
        text.push_back(static_cast<char>(c.bytes[offset++]));
    return text;
}

bool read_imports(Cursor& c, const Layout& layout, std::uint32_t rva, std::uint32_t size, PeImage& image)
{
    if (rva == 0 || size == 0) return true;
    for (std::uint32_t entry = rva;; entry += 20) {
        const auto at = layout.offset_of(entry, 20);
        if (!at) return false;
        const std::uint32_t name_rva = c.u32(*at + 12);
        const std::uint32_t lookup = c.u32(*at);
        const std::uint32_t thunks = c.u32(*at + 16);
        if (name_rva == 0 && lookup == 0 && thunks == 0) return true;
        const auto name_at = layout.offset_of(name_rva, 1);
        if (!name_at) return false;
        image.imports.push_back(c_string_at(c, *name_at));
        if (image.imports.size() > 64) return false;
    }
}

// One level of the resource tree: its entries as (id or 0, is_name, is_directory, offset).
struct ResourceEntry {
    std::uint32_t id;
    bool named;
    bool directory;
    std::uint32_t offset;
};

std::optional<std::vector<ResourceEntry>> resource_level(Cursor& c, std::size_t base, std::uint32_t offset,
                                                         std::uint32_t section_size)
{
    if (offset > section_size || section_size - offset < 16) return std::nullopt;
    const std::size_t at = base + offset;
    const unsigned count = c.u16(at + 12) + c.u16(at + 14);
    std::vector<ResourceEntry> entries;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t e = at + 16 + 8 * i;
        const std::uint32_t name = c.u32(e);
        const std::uint32_t target = c.u32(e + 4);
        if (c.failed) return std::nullopt;
        entries.push_back({(name & 0x80000000u) ? 0 : name, (name & 0x80000000u) != 0, (target & 0x80000000u) != 0,
                           target & 0x7FFFFFFFu});
    }
    return entries;
}

bool read_resources(Cursor& c, const Layout& layout, std::uint32_t rva, std::uint32_t size, PeImage& image)
{
    if (rva == 0 || size == 0) return true;
    const auto base = layout.offset_of(rva, size);
    if (!base) return false;
    const auto types = resource_level(c, *base, 0, size);
    if (!types) return false;
    for (const ResourceEntry& type : *types) {
        if (!type.directory) return false;
        const auto names = resource_level(c, *base, type.offset, size);
        if (!names) return false;
        for (const ResourceEntry& name : *names) {
            if (!name.directory) return false;
            const auto languages = resource_level(c, *base, name.offset, size);
            if (!languages) return false;
            for (const ResourceEntry& language : *languages) {
                if (language.directory || language.offset > size || size - language.offset < 16) return false;
                const std::size_t entry = *base + language.offset;
                const std::uint32_t data_rva = c.u32(entry);
                const std::uint32_t data_size = c.u32(entry + 4);
                const auto data_at = layout.offset_of(data_rva, data_size);
                if (c.failed || !data_at) return false;
                PeResource resource;
                resource.type = type.id;
                resource.name = name.id;
                resource.language = language.id;
                resource.named = type.named || name.named;
                resource.data.assign(c.bytes.begin() + static_cast<std::ptrdiff_t>(*data_at),
                                     c.bytes.begin() + static_cast<std::ptrdiff_t>(*data_at + data_size));
                image.resources.push_back(std::move(resource));
            }
        }
    }
    return true;
}

}  // namespace

PeLoad load_pe_image(const std::vector<std::uint8_t>& bytes)
{
    Cursor c{bytes};
    if (c.u16(0) != 0x5A4D) return {std::nullopt, "no MZ header"};
    const std::uint32_t pe = c.u32(0x3C);
    if (c.u32(pe) != 0x00004550) return {std::nullopt, "no PE signature"};
    PeImage image;
    const std::size_t coff = pe + 4;
    image.machine = c.u16(coff);
    const unsigned section_count = c.u16(coff + 2);
    const std::size_t optional_size = c.u16(coff + 16);
    const std::size_t optional = coff + 20;
    image.optional_magic = c.u16(optional);
    // PE32+ widens the image base and the four stack and heap sizes: its directories start 16 bytes later.
    std::size_t directories = 96;
    if (image.optional_magic == 0x20B)
        directories = 112;
    else if (image.optional_magic != 0x10B)
        return {std::nullopt, "not a PE32 or PE32+ optional header"};
    image.subsystem = c.u16(optional + 68);
    const std::uint32_t directory_count = c.u32(optional + directories - 4);
    auto directory = [&](unsigned index, std::uint32_t& rva, std::uint32_t& size) {
        rva = size = 0;
        if (index >= directory_count || directories + 8 * (index + 1) > optional_size) return;
        rva = c.u32(optional + directories + 8 * index);
        size = c.u32(optional + directories + 4 + 8 * index);
    };
    Layout layout;
    const std::size_t table = optional + optional_size;
    for (unsigned i = 0; i < section_count; ++i) {
        const std::size_t s = table + 40 * i;
        layout.sections.push_back({c.u32(s + 12), c.u32(s + 8), c.u32(s + 20), c.u32(s + 16)});
    }
    if (c.failed) return {std::nullopt, "truncated headers"};
    std::uint32_t rva = 0, size = 0;
    directory(1, rva, size);
    if (!read_imports(c, layout, rva, size, image) || c.failed) return {std::nullopt, "bad import table"};
    directory(2, rva, size);
    if (!read_resources(c, layout, rva, size, image) || c.failed) return {std::nullopt, "bad resource tree"};
    directory(13, rva, image.delay_import_size);
    return {std::move(image), {}};
}

const PeResource* find_resource(const PeImage& image, std::uint32_t type, std::uint32_t name)
{
    for (const PeResource& r : image.resources)
        if (!r.named && r.type == type && r.name == name) return &r;
    return nullptr;
}

std::optional<DialogTemplate> decode_dialog(const std::vector<std::uint8_t>& bytes)
{
    constexpr std::uint32_t kSetFont = 0x40;
    constexpr std::uint32_t kShellFont = 0x48;
    Cursor c{bytes};
    DialogTemplate dialog;
    dialog.extended = c.u16(0) == 1 && c.u16(2) == 0xFFFF;
    unsigned count = 0;
    if (dialog.extended) {
        c.at = 4;
        dialog.help_id = c.next32();
        dialog.ex_style = c.next32();
        dialog.style = c.next32();
    } else {
        dialog.style = c.next32();
        dialog.ex_style = c.next32();
    }
    count = c.next16();
    dialog.x = static_cast<std::int16_t>(c.next16());
    dialog.y = static_cast<std::int16_t>(c.next16());
    dialog.width = static_cast<std::int16_t>(c.next16());
    dialog.height = static_cast<std::int16_t>(c.next16());
    dialog.menu = next_name_or_ordinal(c);
    dialog.window_class = next_name_or_ordinal(c);
    dialog.title = next_string(c);
    if ((dialog.style & kSetFont) != 0 || (dialog.style & kShellFont) == kShellFont) {
        dialog.has_font = true;
        dialog.font_points = c.next16();
        if (dialog.extended) {
            dialog.font_weight = c.next16();
            dialog.font_italic = c.next8();
            dialog.font_charset = c.next8();
        }
        dialog.font_face = next_string(c);
    }
    for (unsigned i = 0; i < count && !c.failed; ++i) {
        c.align(4);
        DialogItem item;
        if (dialog.extended) {
            item.help_id = c.next32();
            item.ex_style = c.next32();
            item.style = c.next32();
        } else {
            item.style = c.next32();
            item.ex_style = c.next32();
        }
        item.x = static_cast<std::int16_t>(c.next16());
        item.y = static_cast<std::int16_t>(c.next16());
        item.width = static_cast<std::int16_t>(c.next16());
        item.height = static_cast<std::int16_t>(c.next16());
        item.id = dialog.extended ? static_cast<std::int32_t>(c.next32()) : static_cast<std::int16_t>(c.next16());
        item.window_class = next_name_or_ordinal(c);
        item.text = next_name_or_ordinal(c);
        item.extra_count = c.next16();
        c.at += item.extra_count;
        dialog.items.push_back(std::move(item));
    }
    if (c.failed || c.at > bytes.size()) return std::nullopt;
    return dialog;
}
