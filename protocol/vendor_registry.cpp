// Vendor names for Ethernet addresses, from the IEEE registry's CSV files (MA-L, MA-M, MA-S and IAB).
#include "protocol/vendor_registry.h"

#include <algorithm>
#include <array>

namespace {

// Names end up in text and JSON reports; a longer one is not a name.
constexpr std::size_t kLongestName = 255;

struct RegistryKind {
    std::string_view name;
    std::size_t digits;
};
constexpr std::array<RegistryKind, 4> kKinds{{{"MA-L", 6}, {"MA-M", 7}, {"MA-S", 9}, {"IAB", 9}}};

// The first three fields of one CSV record; the address and anything after it are only counted.
// A field is a view of the text, or of its own unescaped copy when it holds doubled quotes.
struct CsvRecord {
    std::array<std::string_view, 3> fields;
    std::array<std::string, 3> unescaped;
    std::size_t field_count = 0;
    bool well_formed = true;
    std::size_t end = 0;  // just past the record's line break
};

// Reads a quoted field whose opening quote is at text[at - 1]; returns the position after the
// closing quote, or npos when there is none.
std::size_t read_quoted(std::string_view text, std::size_t at, std::string_view* field, std::string* unescaped)
{
    const std::size_t start = at;
    bool doubled = false;
    for (;;) {
        const std::size_t quote = text.find('"', at);
        if (quote == std::string_view::npos) return quote;
        if (quote + 1 < text.size() && text[quote + 1] == '"') {
            if (field && !doubled) unescaped->assign(text.substr(start, quote + 1 - start));
            if (field && doubled) unescaped->append(text.substr(at, quote + 1 - at));
            doubled = true;
            at = quote + 2;
            continue;
        }
        if (field && doubled) {
            unescaped->append(text.substr(at, quote - at));
            *field = *unescaped;
        } else if (field) {
            *field = text.substr(start, quote - start);
        }
        return quote + 1;
    }
}

void read_record(std::string_view text, std::size_t at, CsvRecord& record)
{
    record.field_count = 0;
    record.well_formed = true;
    record.fields = {};
    for (;;) {
        const std::size_t index = record.field_count++;
        std::string_view* field = index < record.fields.size() ? &record.fields[index] : nullptr;
        std::string* unescaped = index < record.unescaped.size() ? &record.unescaped[index] : nullptr;
        if (at < text.size() && text[at] == '"') {
            at = read_quoted(text, at + 1, field, unescaped);
            if (at == std::string_view::npos) {
                record.well_formed = false;
                record.end = text.size();
                return;
            }
            if (at < text.size() && text[at] == '\r') ++at;
        } else {
            // Two memchr-fast searches instead of a loop over every byte of the long address fields.
            const std::size_t line_end = std::min(text.find('\n', at), text.size());
            const std::size_t stop = std::min(text.substr(at, line_end - at).find(','), line_end - at) + at;
            std::string_view value = text.substr(at, stop - at);
            if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
            if (field) *field = value;
            at = stop;
        }
        if (at >= text.size()) {
            record.end = text.size();
            return;
        }
        if (text[at] == '\n') {
            record.end = at + 1;
            return;
        }
        if (text[at] != ',') {  // text after a closing quote
            record.well_formed = false;
            record.end = at;
            return;
        }
        ++at;
    }
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF): JSON writers refuse the rest.
bool is_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (lead < 0x80) {
            extra = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (text.size() - at <= extra) return false;
        for (std::size_t i = 1; i <= extra; ++i) {
            const auto byte = static_cast<unsigned char>(text[at + i]);
            if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return false;
        }
        at += extra + 1;
    }
    return true;
}

// Some names in the files carry spaces or tabs around them.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::uint64_t key_of(std::size_t bits, std::uint64_t prefix)
{
    return static_cast<std::uint64_t>(bits) << 48 | prefix;
}

// The key of a record's assignment and its name; false when the record is malformed.
bool assignment_of(const CsvRecord& record, std::uint64_t& key, std::string_view& name)
{
    if (!record.well_formed || record.field_count != 4) return false;
    const std::string_view digits = record.fields[1];
    const auto kind = std::find_if(kKinds.begin(), kKinds.end(), [&](const RegistryKind& k) {
        return k.name == record.fields[0] && k.digits == digits.size();
    });
    if (kind == kKinds.end()) return false;
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = hex_value(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    name = trimmed(record.fields[2]);
    if (name.empty() || name.size() > kLongestName || !is_utf8(name)) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    const std::size_t bits = digits.size() * 4;
    key = key_of(bits, value << (48 - bits));
    return true;
}

}  // namespace

void add_vendor_registry_text(VendorRegistry& registry, std::string_view text)
{
    std::vector<VendorAssignment>& list = registry.assignments;
    CsvRecord record;
    for (std::size_t at = 0; at < text.size();) {
        read_record(text, at, record);
        std::uint64_t key = 0;
        std::string_view name;
        if (assignment_of(record, key, name)) {
            list.push_back(
                {key, static_cast<std::uint32_t>(registry.names.size()), static_cast<std::uint32_t>(name.size())});
            registry.names.append(name);
            at = record.end;
            continue;
        }
        const bool blank = record.field_count == 1 && record.fields[0].empty() && record.well_formed;
        const bool header = record.fields[0] == "Registry" && record.fields[1] == "Assignment";
        if (!blank && !header) ++registry.skipped_records;
        // A stray quote may have swallowed the lines after it: read them again as records of their own.
        const std::size_t line_end = text.find('\n', at);
        at = line_end == std::string_view::npos ? text.size() : line_end + 1;
    }
    // Stable, so that of two equal keys the earlier one stays first and survives.
    const auto by_key = [](const VendorAssignment& a, const VendorAssignment& b) { return a.key < b.key; };
    std::stable_sort(list.begin(), list.end(), by_key);
    const auto same_key = [](const VendorAssignment& a, const VendorAssignment& b) { return a.key == b.key; };
    list.erase(std::unique(list.begin(), list.end(), same_key), list.end());
}

VendorRegistry parse_vendor_registry(std::string_view text)
{
    VendorRegistry registry;
    add_vendor_registry_text(registry, text);
    return registry;
}

std::string_view vendor_of(const VendorRegistry& registry, const HardwareAddress& address)
{
    std::uint64_t value = 0;
    for (const std::uint8_t byte : address) value = value << 8 | byte;
    for (const std::size_t bits : {36, 28, 24}) {
        const std::uint64_t key = key_of(bits, value & (0xFFFFFFFFFFFF << (48 - bits)) & 0xFFFFFFFFFFFF);
        const auto found =
            std::lower_bound(registry.assignments.begin(), registry.assignments.end(), key,
                             [](const VendorAssignment& assignment, std::uint64_t k) { return assignment.key < k; });
        if (found != registry.assignments.end() && found->key == key &&
            std::size_t{found->name_offset} + found->name_length <= registry.names.size())
            return std::string_view(registry.names).substr(found->name_offset, found->name_length);
    }
    return {};
}
