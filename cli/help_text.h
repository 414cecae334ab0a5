// orvane-probe --help: the options in sections, each described once and wrapped to the terminal, then the
// examples and the exit statuses; and the nearest option to a mistyped one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The sections of --help, in the order shown. An option joins one with ->group(kHelp...); an option
// in a section not listed here is shown after these.
inline constexpr const char* kHelpSend = "What to send";
inline constexpr const char* kHelpWhere = "Where";
inline constexpr const char* kHelpExpect = "What to expect";
inline constexpr const char* kHelpOutput = "Output";
inline constexpr const char* kHelpMonitoring = "Monitoring";
inline constexpr const char* kHelpCapture = "Capture and VLANs";
inline constexpr const char* kHelpIpv6 = "IPv6";
inline constexpr const char* kHelpSections[] = {kHelpSend,       kHelpWhere,   kHelpExpect, kHelpOutput,
                                                kHelpMonitoring, kHelpCapture, kHelpIpv6};

// Help is never wider than this, whatever the terminal: longer lines are hard to follow.
inline constexpr std::size_t kHelpMaxWidth = 100;

// The width help is wrapped to for a terminal of columns (0: none known): from 60 to kHelpMaxWidth, 80 when
// the width is not known. Pure.
std::size_t help_width(int columns);

// text's words in lines of at most width characters; a word longer than width has a line of its own. Pure.
std::vector<std::string> wrap_words(const std::string& text, std::size_t width);

// The option among names that typed most likely meant: the one a prefix of which typed is, or within two
// edits of it (and fewer than half its letters); empty when none is near enough or two are as near. Pure.
std::string closest_option(const std::string& typed, const std::vector<std::string>& names);

// Every option name of app, as typed: "--wait", "-t", ...
std::vector<std::string> option_names(const CLI::App& app);

// The whole of --help for app, wrapped to width, ending with footer's paragraphs (a paragraph of several lines
// is kept as it is written).
std::string help_text(const CLI::App& app, std::size_t width, const std::vector<std::string>& footer);
