// orvane-probe --help: the options in sections, each described once and wrapped to the terminal, then the
// examples and the exit statuses; and the nearest option to a mistyped one.
#include "cli/help_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iterator>

namespace {

// Where descriptions start; an option's names reaching past it put its description on the next line.
constexpr std::size_t kDescriptionColumn = 30;

// Insertions, deletions, changes and swaps of two neighbours ("--wiat" is one slip of the fingers, not two).
std::size_t edit_distance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// "  -t, --wait SECONDS": the names as typed, the short one first, and what the option takes.
std::string names_column(const CLI::Option& option)
{
    std::string text = "  ";
    text += option.get_snames().empty() ? "    " : "-" + option.get_snames().front() + ", ";
    for (std::size_t k = 0; k < option.get_lnames().size(); ++k)
        text += (k == 0 ? "--" : ", --") + option.get_lnames()[k];
    if (option.get_lnames().empty() && !option.get_snames().empty()) text.resize(text.size() - 2);
    const std::string type = option.get_type_name();
    if (option.get_expected_min() > 0 && !type.empty()) text += " " + type;
    return text;
}

void add_option(std::string& out, const CLI::Option& option, std::size_t width)
{
    std::string names = names_column(option);
    const std::vector<std::string> lines =
        wrap_words(option.get_description(), width > kDescriptionColumn ? width - kDescriptionColumn : 20);
    const std::string indent(kDescriptionColumn, ' ');
    if (names.size() + 2 > kDescriptionColumn) {
        out += names + "\n";
        names.clear();
    }
    for (const std::string& line : lines) {
        out += names.empty() ? indent : names + std::string(kDescriptionColumn - names.size(), ' ');
        out += line + "\n";
        names.clear();
    }
    if (lines.empty() && !names.empty()) out += names + "\n";
}

void add_paragraph(std::string& out, const std::string& paragraph, std::size_t width)
{
    if (paragraph.find('\n') != std::string::npos) {
        out += paragraph + "\n";
        return;
    }
    for (const std::string& line : wrap_words(paragraph, width)) out += line + "\n";
}

}  // namespace

std::size_t help_width(int columns)
{
    if (columns <= 0) return 80;
    return std::clamp<std::size_t>(static_cast<std::size_t>(columns), 60, kHelpMaxWidth);
}

std::vector<std::string> wrap_words(const std::string& text, std::size_t width)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = text.find_first_not_of(' ', at);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = end;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string closest_option(const std::string& typed, const std::vector<std::string>& names)
{
    const std::string word = typed.substr(0, typed.find('='));
    std::string best;
    std::size_t best_distance = 3;
    bool tie = false;
    for (const std::string& name : names) {
        const std::size_t distance = edit_distance(word, name);
        const std::size_t letters = name.size() - std::min<std::size_t>(name.find_first_not_of('-'), name.size());
        if (distance * 2 >= letters || distance > best_distance) continue;
        tie = distance == best_distance && !best.empty();
        if (distance < best_distance) best = name;
        best_distance = distance;
    }
    if (!best.empty() && !tie) return best;
    // "--quic" or "--prefix": an option cut short, when only one begins so.
    std::string prefixed;
    for (const std::string& name : names) {
        if (word.size() < 4 || name.compare(0, word.size(), word) != 0) continue;
        if (!prefixed.empty()) return {};
        prefixed = name;
    }
    return prefixed;
}

std::vector<std::string> option_names(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

std::string help_text(const CLI::App& app, std::size_t width, const std::vector<std::string>& footer)
{
    std::string out = "Usage: " + app.get_name() + " [OPTIONS]\n\n";
    add_paragraph(out, app.get_description(), width);
    std::vector<std::string> sections(std::begin(kHelpSections), std::end(kHelpSections));
    for (const std::string& group : app.get_groups())
        if (std::find(sections.begin(), sections.end(), group) == sections.end()) sections.push_back(group);
    for (const std::string& section : sections) {
        const std::vector<const CLI::Option*> options =
            app.get_options([&section](const CLI::Option* option) { return option->get_group() == section; });
        if (options.empty()) continue;
        out += "\n" + section + ":\n";
        for (const CLI::Option* option : options) add_option(out, *option, width);
    }
    for (const std::string& paragraph : footer) {
        out += "\n";
        add_paragraph(out, paragraph, width);
    }
    return out;
}
