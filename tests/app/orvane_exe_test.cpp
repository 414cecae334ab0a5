// Reads the built orvane.exe: a 32-bit GUI image (its 64-bit twin in the win64 build) importing only system
// libraries, carrying exactly the seven resources in English (Australia), with both window templates as the
// layout tables say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/dialog_layout.h"
#include "app/resources/resource_ids.h"
#include "pe_image.h"

namespace {

constexpr std::uint32_t kRtBitmap = 2, kRtIcon = 3, kRtDialog = 5, kRtGroupIcon = 14;
constexpr std::uint32_t kEnglishAustralia = 0x0C09;
#ifdef ORVANE_EXE_64BIT
constexpr std::uint16_t kMachine = 0x8664, kOptionalMagic = 0x20B;  // x86-64, PE32+
#else
constexpr std::uint16_t kMachine = 0x14C, kOptionalMagic = 0x10B;  // i386, PE32: the program that ships
#endif

// Window styles, written out so the test does not lean on the headers the program was built with.
constexpr std::uint32_t kWsPopup = 0x80000000, kWsChild = 0x40000000, kWsVisible = 0x10000000;
constexpr std::uint32_t kWsCaption = 0x00C00000, kWsBorder = 0x00800000, kWsVscroll = 0x00200000;
constexpr std::uint32_t kWsSysmenu = 0x00080000, kWsGroup = 0x00020000, kWsTabstop = 0x00010000;
constexpr std::uint32_t kDsModalframe = 0x80, kDsSetfont = 0x40;
constexpr std::uint32_t kWsExControlparent = 0x00010000;
constexpr std::uint32_t kEsMultiline = 0x4, kEsAutovscroll = 0x40, kEsReadonly = 0x800, kEsWantreturn = 0x1000;
constexpr std::uint32_t kSsBitmap = 0xE;

// Pop-up, caption, system menu, modal frame and the font; no minimise or maximise box, no centring.
constexpr std::uint32_t kWindowStyle = kWsPopup | kWsCaption | kWsSysmenu | kDsModalframe | kDsSetfont;

std::uint16_t class_atom(ControlKind kind)
{
    switch (kind) {
        case ControlKind::push_button: return 0x80;
        case ControlKind::edit: return 0x81;
        case ControlKind::static_text:
        case ControlKind::static_bitmap: return 0x82;
    }
    return 0;
}

std::uint32_t control_style(const ControlRow& row)
{
    std::uint32_t style = kWsChild | kWsVisible;
    if (row.kind == ControlKind::edit)
        style |= kEsMultiline | kEsReadonly | kEsAutovscroll | kEsWantreturn | kWsVscroll | kWsBorder;
    if (row.kind == ControlKind::static_bitmap) style |= kSsBitmap;
    // Push buttons are plain (not default) and texts left aligned: both are style value 0.
    if (row.tab_stop) style |= kWsTabstop;
    if (row.group) style |= kWsGroup;
    return style;
}

NameOrOrdinal control_text(const ControlRow& row)
{
    if (row.kind == ControlKind::static_bitmap) return {true, IDB_PICTURE, {}};
    return {false, 0, row.text};
}

std::vector<std::uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return text;
}

std::uint32_t le(const std::vector<std::uint8_t>& bytes, std::size_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes.at(at + static_cast<std::size_t>(i));
    return value;
}

class OrvaneExe : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::vector<std::uint8_t> bytes = read_file(ORVANE_EXE_PATH);
        if (bytes.empty()) GTEST_SKIP() << "no orvane.exe at " << ORVANE_EXE_PATH << " (build the win32 preset first)";
        PeLoad load = load_pe_image(bytes);
        ASSERT_TRUE(load.image) << load.error;
        image = std::move(*load.image);
    }

    DialogTemplate dialog(int id)
    {
        const PeResource* resource = find_resource(image, kRtDialog, static_cast<std::uint32_t>(id));
        EXPECT_NE(resource, nullptr);
        if (resource == nullptr) return {};
        auto decoded = decode_dialog(resource->data);
        EXPECT_TRUE(decoded);
        return decoded ? *decoded : DialogTemplate{};
    }

    void expect_matches(const DialogTemplate& got, const DialogLayout& layout)
    {
        EXPECT_EQ(got.title, layout.title);
        EXPECT_EQ(got.style, kWindowStyle);
        EXPECT_EQ(got.x, layout.x);
        EXPECT_EQ(got.y, layout.y);
        EXPECT_EQ(got.width, layout.width);
        EXPECT_EQ(got.height, layout.height);
        EXPECT_EQ(got.menu, NameOrOrdinal{});
        EXPECT_EQ(got.window_class, NameOrOrdinal{});
        EXPECT_TRUE(got.has_font);
        EXPECT_EQ(got.font_points, layout.font_points);
        EXPECT_EQ(got.font_face, layout.font_face);
        ASSERT_EQ(got.items.size(), layout.controls.size());
        for (std::size_t i = 0; i < got.items.size(); ++i) {
            const DialogItem& item = got.items[i];
            const ControlRow& row = layout.controls[i];
            SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(row.id) + ")");
            EXPECT_EQ(item.id, row.id);
            EXPECT_EQ(item.window_class, (NameOrOrdinal{true, class_atom(row.kind), {}}));
            EXPECT_EQ(item.text, control_text(row));
            EXPECT_EQ(item.x, row.x);
            EXPECT_EQ(item.y, row.y);
            EXPECT_EQ(item.width, row.width);
            EXPECT_EQ(item.height, row.height);
            EXPECT_EQ(item.style, control_style(row)) << std::hex << item.style;
            EXPECT_EQ(item.ex_style, 0u);
            EXPECT_EQ(item.help_id, 0u);
            EXPECT_EQ(item.extra_count, 0u);
        }
    }

    PeImage image;
};

TEST_F(OrvaneExe, IsAGuiImageForItsProcessorThatImportsOnlySystemLibraries)
{
    EXPECT_EQ(image.machine, kMachine);
    EXPECT_EQ(image.optional_magic, kOptionalMagic);
    EXPECT_EQ(image.subsystem, 2);  // Windows GUI
    std::set<std::string> imports;
    for (const std::string& name : image.imports) imports.insert(lower(name));
    // The C and C++ runtimes are linked in: no libstdc++, libgcc or winpthread DLL may appear.
    const std::set<std::string> expected{"kernel32.dll", "user32.dll",  "shell32.dll",
                                         "ws2_32.dll",   "snmpapi.dll", "msvcrt.dll"};
    EXPECT_EQ(imports, expected);
    EXPECT_EQ(image.delay_import_size, 0u);
}

TEST_F(OrvaneExe, CarriesExactlyTheSevenResourcesInEnglishAustralia)
{
    std::set<std::pair<std::uint32_t, std::uint32_t>> entries;
    for (const PeResource& r : image.resources) {
        SCOPED_TRACE("type " + std::to_string(r.type) + " name " + std::to_string(r.name));
        EXPECT_FALSE(r.named);
        EXPECT_EQ(r.language, kEnglishAustralia);
        entries.insert({r.type, r.name});
    }
    // No version record, menu, accelerators, string table or manifest (type 24) beside them.
    const std::set<std::pair<std::uint32_t, std::uint32_t>> expected{
        {kRtDialog, IDD_MAIN}, {kRtDialog, IDD_ABOUT}, {kRtBitmap, IDB_PICTURE}, {kRtIcon, 1},
        {kRtIcon, 2},          {kRtIcon, 3},           {kRtGroupIcon, IDI_APP}};
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(image.resources.size(), 7u);
}

TEST_F(OrvaneExe, MainWindowTemplateIsExtendedAndMatchesTheLayout)
{
    const DialogTemplate got = dialog(IDD_MAIN);
    EXPECT_TRUE(got.extended);
    EXPECT_EQ(got.ex_style, kWsExControlparent);
    EXPECT_EQ(got.help_id, 0u);
    // Normal weight, not italic, the default character set.
    EXPECT_EQ(got.font_weight, 400);
    EXPECT_EQ(got.font_italic, 0);
    EXPECT_EQ(got.font_charset, 1);
    expect_matches(got, main_dialog_layout());
}

TEST_F(OrvaneExe, AboutWindowTemplateIsClassicAndMatchesTheLayout)
{
    const DialogTemplate got = dialog(IDD_ABOUT);
    EXPECT_FALSE(got.extended);
    EXPECT_EQ(got.ex_style, 0u);
    expect_matches(got, about_dialog_layout());
    // The appeal keeps its runs of spaces and its plain double quotation marks.
    ASSERT_FALSE(got.items.empty());
    EXPECT_NE(got.items[0].text.text.find("think  its  worth  something,   please"), std::string::npos);
    EXPECT_NE(got.items[0].text.text.find("hit the \"Email Me\" button."), std::string::npos);
}

TEST_F(OrvaneExe, PictureIs89By85In24BitColourAndIsTheCommittedArt)
{
    const PeResource* bitmap = find_resource(image, kRtBitmap, IDB_PICTURE);
    ASSERT_NE(bitmap, nullptr);
    const std::vector<std::uint8_t>& d = bitmap->data;
    ASSERT_GE(d.size(), 40u);
    EXPECT_EQ(le(d, 0, 4), 40u);   // BITMAPINFOHEADER
    EXPECT_EQ(le(d, 4, 4), 89u);   // width
    EXPECT_EQ(le(d, 8, 4), 85u);   // height, bottom-up
    EXPECT_EQ(le(d, 12, 2), 1u);   // planes
    EXPECT_EQ(le(d, 14, 2), 24u);  // bits per pixel
    EXPECT_EQ(le(d, 16, 4), 0u);   // uncompressed
    EXPECT_GE(d.size(), 40u + 268u * 85u);
    // The resource is the committed file without its 14-byte file header.
    const std::vector<std::uint8_t> file = read_file(ORVANE_SOURCE_DIR "/app/resources/picture.bmp");
    ASSERT_GT(file.size(), 14u);
    EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), d.begin(), d.end()));
}

TEST_F(OrvaneExe, IconGroupHoldsThe16And256ColourImagesInOrder)
{
    const PeResource* group = find_resource(image, kRtGroupIcon, IDI_APP);
    ASSERT_NE(group, nullptr);
    const std::vector<std::uint8_t>& g = group->data;
    ASSERT_EQ(g.size(), 6u + 3u * 14u);
    EXPECT_EQ(le(g, 0, 2), 0u);
    EXPECT_EQ(le(g, 2, 2), 1u);  // icons, not cursors
    EXPECT_EQ(le(g, 4, 2), 3u);
    struct Expected {
        std::uint32_t size, colours, bits;
    };
    const Expected expected[] = {{32, 16, 4}, {48, 0, 8}, {32, 0, 8}};  // 0 colours: 256
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const std::size_t e = 6 + 14 * i;
        EXPECT_EQ(le(g, e, 1), expected[i].size);
        EXPECT_EQ(le(g, e + 1, 1), expected[i].size);
        EXPECT_EQ(le(g, e + 2, 1), expected[i].colours);
        EXPECT_EQ(le(g, e + 4, 2), 1u);  // planes
        EXPECT_EQ(le(g, e + 6, 2), expected[i].bits);
        const PeResource* icon = find_resource(image, kRtIcon, le(g, e + 12, 2));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->data.size(), le(g, e + 8, 4));
        ASSERT_GE(icon->data.size(), 40u);
        // Each image: a header of the doubled height (colour bits over the mask) and its palette.
        EXPECT_EQ(le(icon->data, 4, 4), expected[i].size);
        EXPECT_EQ(le(icon->data, 8, 4), 2 * expected[i].size);
        EXPECT_EQ(le(icon->data, 14, 2), expected[i].bits);
        const std::uint32_t palette = le(icon->data, 32, 4) == 0 ? 1u << expected[i].bits : le(icon->data, 32, 4);
        EXPECT_EQ(palette, 1u << expected[i].bits);
        const std::uint32_t row = (expected[i].size * expected[i].bits + 31) / 32 * 4;
        const std::uint32_t mask_row = (expected[i].size + 31) / 32 * 4;
        EXPECT_EQ(icon->data.size(), 40 + 4 * palette + (row + mask_row) * expected[i].size);
    }
}

TEST(PeImageReader, RefusesBrokenImagesWithoutReadingPastThem)
{
    const std::vector<std::uint8_t> empty;
    EXPECT_FALSE(load_pe_image(empty).image);
    std::vector<std::uint8_t> mz(0x40, 0);
    mz[0] = 'M';
    mz[1] = 'Z';
    mz[0x3C] = 0xF0;  // the PE header would lie past the end
    EXPECT_FALSE(load_pe_image(mz).image);
    // A dialog template cut off inside its first control.
    const std::vector<std::uint8_t> cut{1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_FALSE(decode_dialog(cut));
}

// A headers-only image with one section holding one import descriptor that names "kernel32.dll", its data
// directories written where an optional header of magic `written_as` keeps them.
std::vector<std::uint8_t> tiny_image(std::uint16_t machine, std::uint16_t magic, std::uint16_t written_as)
{
    const std::size_t directories = written_as == 0x20B ? 112 : 96;
    const std::size_t optional_size = directories + 16 * 8;
    const std::size_t pe = 0x40, optional = pe + 24, section = optional + optional_size, raw = 0x200;
    std::vector<std::uint8_t> b(raw + 0x100, 0);
    auto put = [&b](std::size_t at, std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, 0x5A4D, 2);
    put(0x3C, pe, 4);
    put(pe, 0x00004550, 4);
    put(pe + 4, machine, 2);
    put(pe + 6, 1, 2);  // one section
    put(pe + 20, static_cast<std::uint32_t>(optional_size), 2);
    put(optional, magic, 2);
    put(optional + 68, 2, 2);  // GUI
    put(optional + directories - 4, 16, 4);
    put(optional + directories + 8, 0x1000, 4);  // imports: one descriptor and the closing one
    put(optional + directories + 12, 40, 4);
    put(section + 8, 0x100, 4);  // virtual size, address, raw size, raw offset
    put(section + 12, 0x1000, 4);
    put(section + 16, 0x100, 4);
    put(section + 20, raw, 4);
    put(raw + 12, 0x1040, 4);  // the descriptor's name
    const std::string name = "kernel32.dll";
    std::copy(name.begin(), name.end(), b.begin() + static_cast<std::ptrdiff_t>(raw + 0x40));
    return b;
}

TEST(PeImageReader, FindsTheDataDirectoriesOfBothHeaderWidths)
{
    struct Row {
        const char* name;
        std::uint16_t machine, magic, written_as;
        bool loads;
        std::vector<std::string> imports;
    };
    const Row rows[] = {
        {"PE32, i386", 0x14C, 0x10B, 0x10B, true, {"kernel32.dll"}},
        {"PE32+, x86-64", 0x8664, 0x20B, 0x20B, true, {"kernel32.dll"}},
        // Read at the other width, the directories miss the import table.
        {"PE32 magic over PE32+ directories", 0x14C, 0x10B, 0x20B, true, {}},
        {"PE32+ magic over PE32 directories", 0x8664, 0x20B, 0x10B, true, {}},
        {"ROM image magic", 0x14C, 0x107, 0x10B, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const PeLoad load = load_pe_image(tiny_image(row.machine, row.magic, row.written_as));
        ASSERT_EQ(load.image.has_value(), row.loads) << load.error;
        if (!load.image) continue;
        EXPECT_EQ(load.image->machine, row.machine);
        EXPECT_EQ(load.image->optional_magic, row.magic);
        EXPECT_EQ(load.image->subsystem, 2);
        EXPECT_EQ(load.image->imports, row.imports);
    }
}

}  // namespace
