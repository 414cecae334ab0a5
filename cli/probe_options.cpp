// orvane-probe's command line: what each option sets, and its reading with CLI11.
#include "cli/probe_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "cli/console_output.h"
#include "cli/event_command.h"
#include "cli/help_text.h"
#include "cli/metrics.h"
#include "cli/metrics_address.h"
#include "cli/terminal.h"
#include "cli/verdict.h"
#include "common/version.h"
#include "net/ipv6_endpoints.h"
#include "net/packet_capture.h"
#include "protocol/reply_fields.h"

namespace {

// After the options: examples, then the statuses as monitoring plugins give them. Paragraphs of several lines
// are kept as written, so each example stays one line to copy.
const std::vector<std::string> kHelpFooter = {
    "Examples:\n"
    "  orvane-probe                                # one DISCOVER, as the window shows it\n"
    "  orvane-probe --expect 192.0.2.1 --quick     # did the authorised server answer?\n"
    "  orvane-probe -t 10 --expect 192.0.2.1 --format nagios      # a Nagios check\n"
    "  orvane-probe --capture --vlan 10,20 --expect 10/192.0.2.1,20/192.0.2.2\n"
    "  orvane-probe -6 --interface eth0 --expect-router fe80::1   # DHCPv6, routers\n"
    "  orvane-probe --monitor --interval 60 --interface eth0 --expect 192.0.2.1 \\\n"
    "      --metrics-listen 192.0.2.10:9464        # a daemon for Prometheus",
    "Exit status, as monitoring plugins give it:\n"
    "  0  OK: every expected server answered and no other did\n"
    "     (without --expect: something answered)\n"
    "  1  WARNING: as OK, but a reply carries a concern (not an OFFER, identifier\n"
    "     differs from source, offer outside the relay's network)\n"
    "  2  CRITICAL: an unexpected server answered, an expected server was silent,\n"
    "     nothing answered, or more servers answered than the probe keeps track of\n"
    "  3  UNKNOWN: a refused command line, a start-up failure, no request could be\n"
    "     sent, or the report could not be written",
    "--monitor stopped by SIGTERM or SIGINT ends with 0 (3 when its output failed): the statuses belong to its "
    "rounds, in their lines, events and metrics.",
};

// A validator of a closed list whose description stays empty, so that --help shows the choices once, in the
// option's own words.
CLI::Validator one_of(std::vector<std::string> choices)
{
    return CLI::Validator(
        [choices](std::string& text) {
            if (std::find(choices.begin(), choices.end(), text) != choices.end()) return std::string();
            std::string listed;
            for (const std::string& choice : choices) listed += (listed.empty() ? "" : ", ") + choice;
            return text + " is not one of " + listed;
        },
        "");
}

// A number as the messages show it: short, whatever its size.
std::string short_number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Plain decimal notation only: no "nan", "inf", hexadecimal or surrounding space for strtod to accept.
bool is_plain_decimal(const std::string& text, bool whole)
{
    if (text.empty()) return false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && (whole || (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-'))) return false;
    }
    return true;
}

// A validator that reads the text as seconds in a range and keeps the value in target.
CLI::Validator seconds_in(double low, double high, double& target)
{
    return CLI::Validator([low, high, &target](std::string& text) { return read_seconds(text, low, high, target); },
                          "");
}

std::string check_expect_entry(std::string& text)
{
    // "--expect=" names no server: a unit's empty variable reads so.
    if (text.empty()) return {};
    ExpectEntry entry;
    const std::string refused = read_expect_entry(text, entry);
    if (refused.empty()) return {};
    Ipv6Expectations expected6;
    if (read_expected_dhcpv6_server(text, expected6)) return {};
    return "not an IPv4, IPv6 or Ethernet address, a DHCPv6 server's DUID in hex, nor VLAN/ADDRESS: " + text;
}

std::string check_expect_router(std::string& text)
{
    Ipv6Expectations expected6;
    return read_expected_router(text, expected6);
}

std::string check_vlan_list(std::string& text)
{
    std::vector<std::uint16_t> vlans;
    return read_vlan_list(text, vlans);
}

std::string check_mac(std::string& text)
{
    HardwareAddress address;
    if (text == "random") return {};
    if (!parse_hardware_address(text, address))
        return "not an Ethernet address (six hexadecimal pairs) nor 'random': " + text;
    // No station owns a group address, and all zero means no address: no server could answer either.
    if (is_group_address(address)) return text + " is a group (multicast or broadcast) address, not a client's";
    if (is_zero_hardware_address(address)) return text + " is the all-zero address, not a client's";
    return {};
}

std::string check_interface(std::string& text)
{
    return text.empty() ? "an interface name cannot be empty" : std::string();
}

// CLI11's complaint, named as the probe's other messages are, with anything the user typed shown safely.
std::string failure_text(const CLI::App* app, const CLI::Error& error)
{
    std::string plain = CLI::FailureMessage::simple(app, error);
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        // Each word that looks like an option, with the option it most likely meant.
        std::string hints;
        const std::string words = plain.substr(0, plain.find('\n'));
        for (std::size_t at = words.find(": "); at != std::string::npos;) {
            const std::size_t start = at + (words[at] == ':' ? 2 : 1);
            at = words.find(' ', start);
            const std::string word = words.substr(start, at == std::string::npos ? std::string::npos : at - start);
            const std::string meant = word.size() > 1 && word[0] == '-' ? closest_option(word, option_names(*app)) : "";
            if (!meant.empty()) hints += (hints.empty() ? "; did you mean " : " or ") + meant;
        }
        if (!hints.empty()) plain.insert(words.size(), hints + "?");
    }
    std::string shown = "orvane-probe: ";
    for (std::size_t start = 0; start < plain.size();) {
        const std::size_t end = std::min(plain.find('\n', start), plain.size());
        shown += terminal_text(plain.substr(start, end - start));
        if (end < plain.size()) shown += '\n';
        start = end + 1;
    }
    return shown;
}

// Every option but --wait (and --help) marks a run whose text report may carry the probe's own lines.
bool any_new_option(const CLI::App& app)
{
    for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (name == "--wait" || name == "--help") continue;
        if (option->count() > 0) return true;
    }
    return false;
}

// Rules that tie options together, beyond what CLI11's needs/excludes say.
void check_together(const ProbeOptions& options)
{
    if (options.interval_given && options.count == 1 && !options.monitor)
        throw CLI::ValidationError("--interval", "--interval needs --count or --monitor");
    // A monitor's rounds are the wait unless --interval says otherwise; a wait under the floor would be
    // stretched without a word for as long as the monitor runs.
    if (options.monitor && !options.interval_given && options.wait_seconds < kMinRoundSeconds)
        throw CLI::ValidationError("--monitor", "--monitor needs rounds of at least 1 second (--interval)");
    if (!metrics_supported() && (!options.metrics_listen.empty() || !options.metrics_file.empty()))
        throw CLI::ValidationError("--metrics-listen", "metrics are not available on this platform");
    if (!event_commands_supported() && !options.on_change.empty())
        throw CLI::ValidationError("--on-change", "--on-change is not available on this platform");
}

// The families' rules: what -6 needs and what it cannot be combined with.
void check_families(const ProbeOptions& options, bool ipv4_entries, bool routers_named, bool prefix_delegation,
                    bool anything_named, bool quick)
{
    if (quick && !anything_named) throw CLI::ValidationError("--quick", "--quick needs --expect or --expect-router");
    if (!options.ipv6) {
        if (expects_servers(options.expected6))
            throw CLI::ValidationError("--expect",
                                       "--expect names a DHCPv6 server (DUID or IPv6 address), which needs -6");
        if (routers_named) throw CLI::ValidationError("--expect-router", "--expect-router needs -6");
        if (prefix_delegation) throw CLI::ValidationError("--prefix-delegation", "--prefix-delegation needs -6");
        return;
    }
    if (!options.ipv4 && ipv4_entries)
        throw CLI::ValidationError("--expect",
                                   "--expect names an IPv4 server or an Ethernet address, but only -6 "
                                   "runs; add -4 to check both");
    if (!dhcpv6_client_supported())
        throw CLI::ValidationError("-6", "-6: this platform cannot send a DHCPv6 SOLICIT from port 546");
    if (routers_named && !router_socket_supported())
        throw CLI::ValidationError("--expect-router",
                                   "routers are heard through a raw ICMPv6 socket with hop limit 255, "
                                   "which this platform does not give an ordinary program");
    if (options.vlans_given)
        throw CLI::ValidationError("--vlan", "--vlan is for the IPv4 checks; -6 cannot probe VLANs");
}

}  // namespace

double round_interval(const ProbeOptions& options)
{
    const double asked = options.interval_given ? options.interval_seconds : options.wait_seconds;
    return asked < kMinRoundSeconds ? kMinRoundSeconds : asked;
}

std::string read_seconds(const std::string& text, double low, double high, double& seconds)
{
    if (!is_plain_decimal(text, false)) return "not a number of seconds: " + text;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return "not a number of seconds: " + text;
    if (!std::isfinite(value) || value < low || value > high)
        return short_number(value) + " is outside " + short_number(low) + " to " + short_number(high) + " seconds";
    seconds = value;
    return {};
}

std::string read_whole_number(const std::string& text, int low, int high, int& number)
{
    if (!is_plain_decimal(text, true)) return "not a whole number: " + text;
    const double value = std::strtod(text.c_str(), nullptr);
    if (value < low || value > high)
        return short_number(value) + " is outside " + std::to_string(low) + " to " + std::to_string(high);
    number = static_cast<int>(value);
    return {};
}

HardwareAddress locally_administered(std::array<std::uint8_t, 6> random_bytes)
{
    HardwareAddress address{};
    for (std::size_t k = 0; k < 6; ++k) address[k] = random_bytes[k];
    address[0] = static_cast<std::uint8_t>((address[0] & 0xFC) | 0x02);
    return address;
}

HardwareAddress random_hardware_address()
{
    std::random_device source;
    std::array<std::uint8_t, 6> bytes{};
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(source() & 0xFF);
    return locally_administered(bytes);
}

int parse_probe_options(int argc, char** argv, ProbeOptions& options)
{
    CLI::App app{
        "Broadcasts DHCP DISCOVER from UDP port 67 and reports every reply on port 68: which server "
        "answered, through which relay, what it offered; with --expect, a verdict for monitoring.",
        "orvane-probe"};
    app.formatter_fn([](const CLI::App* shown, const std::string&, CLI::AppFormatMode) {
        return help_text(*shown, help_width(terminal_columns()), kHelpFooter);
    });
    app.set_help_flag("-h,--help", "Print this help and exit")->group(kHelpOutput);
    app.set_version_flag("-V,--version", std::string("orvane-probe ") + kOrvaneVersion, "Print the version and exit")
        ->group(kHelpOutput);
    app.failure_message(failure_text);
    std::vector<std::string> expected;
    std::string mac;
    std::string format = "text";
    std::string output;
    std::string log_path = options.log_path;

    // Numbers are read as text and checked here, so that NaN, infinities and huge values never reach a
    // clock, and a refusal shows them short. -t is the wait, as a plugin's timeout is.
    std::string wait_text, count_text, interval_text;
    app.add_option("-t,--wait", wait_text, "Seconds to listen after the last request (0 to 3600, default 5)")
        ->type_name("SECONDS")
        ->group(kHelpSend)
        ->check(seconds_in(0.0, kMaxWaitSeconds, options.wait_seconds));
    auto* count =
        app.add_option("--count", count_text, "Requests to send, one per round, at least 1 second apart (1 to 100000)")
            ->type_name("N")
            ->group(kHelpSend)
            ->check(CLI::Validator(
                [&options](std::string& text) { return read_whole_number(text, 1, kMaxCount, options.count); }, ""));
    auto* interval = app.add_option("--interval", interval_text,
                                    "Seconds from one request to the next (1 to 86400, default: the wait)")
                         ->type_name("SECONDS")
                         ->group(kHelpSend)
                         ->check(seconds_in(kMinRoundSeconds, kMaxIntervalSeconds, options.interval_seconds));
    app.add_option("--mac", mac, "Client hardware address to send, or 'random' (locally administered)")
        ->type_name("MAC|random")
        ->group(kHelpSend)
        ->check(CLI::Validator(check_mac, ""));
    auto* interface = app.add_option("--interface", options.interface,
                                     "Send and listen on this Ethernet interface only, with its Ethernet address")
                          ->type_name("NAME")
                          ->group(kHelpWhere)
                          ->check(CLI::Validator(check_interface, ""));
    auto* all = app.add_flag("--all-interfaces", options.all_interfaces,
                             "One socket pair on each Ethernet interface that is up and has an IPv4 address (not "
                             "with --interface)")
                    ->group(kHelpWhere);
    app.add_option("--expect", expected,
                   "Authorised servers, by server identifier or source address, or (--capture) by "
                   "Ethernet source; VLAN/ADDRESS names one for that VLAN alone; with -6 also "
                   "DHCPv6 servers by DUID (hex) or IPv6 address")
        ->type_name("[VLAN/]ADDRESS|DUID[,...]")
        ->group(kHelpExpect)
        ->delimiter(',')
        ->check(CLI::Validator(check_expect_entry, ""));
    auto* quick =
        app.add_flag("--quick", options.quick, "End as soon as every expected server has answered (not with --monitor)")
            ->group(kHelpExpect);
    auto* format_option =
        app.add_option("--format", format,
                       "Report as text blocks (the default), as JSON Lines, or as one monitoring plugin's status "
                       "line (nagios, not with --monitor)")
            ->type_name("text|json|nagios")
            ->group(kHelpOutput)
            ->check(one_of({"text", "json", "nagios"}));
    app.add_option("--output", output,
                   "What --monitor writes: every reply (full), or one line per round beside the events and "
                   "failures (events); events when stdout is no terminal")
        ->type_name("full|events")
        ->group(kHelpOutput)
        ->check(one_of({"full", "events"}));
    auto* log = app.add_option("--log", log_path, "Append raw replies to FILE (default ./LogFile, none with --monitor)")
                    ->type_name("FILE")
                    ->group(kHelpOutput);
    auto* no_log = app.add_flag("--no-log", options.no_log, "Keep no raw log (not with --log)")->group(kHelpOutput);
    auto* monitor =
        app.add_flag("--monitor", options.monitor, "Repeat rounds until stopped, each judged alone (not with --count)")
            ->group(kHelpMonitoring);
    auto* listen =
        app.add_option("--metrics-listen", options.metrics_listen,
                       "With --monitor, serve Prometheus metrics on /metrics at this address (empty: none)")
            ->type_name("ADDRESS:PORT")
            ->group(kHelpMonitoring)
            ->check(CLI::Validator(
                [](std::string& text) { return text.empty() ? std::string() : check_listen_address(text); }, ""));
    app.add_option("--metrics-file", options.metrics_file,
                   "Write the metrics after each round to FILE.prom, replaced whole (node_exporter textfile)")
        ->type_name("FILE")
        ->group(kHelpMonitoring)
        ->check(CLI::Validator([](std::string& text) { return check_metrics_path(text); }, ""));
    std::string retire_text;
    app.add_option("--metrics-retire", retire_text,
                   "Forget the metrics of a server not heard for this many rounds (1 to 100000, default 10)")
        ->type_name("ROUNDS")
        ->group(kHelpMonitoring)
        ->check(CLI::Validator(
            [&options](std::string& text) {
                return read_whole_number(text, 1, kMaxCount, options.metrics_retire_rounds);
            },
            ""));
    auto* on_change =
        app.add_option("--on-change", options.on_change,
                       "With --monitor, run COMMAND (through /bin/sh -c) for each event on change")
            ->type_name("COMMAND")
            ->group(kHelpMonitoring)
            ->check(CLI::Validator(
                [](std::string& text) {
                    return text.empty() ? std::string("the --on-change command cannot be empty") : std::string();
                },
                ""));
    auto* capture = app.add_flag("--capture", options.capture,
                                 "Send and receive through a packet socket (Linux, needs cap_net_raw): no UDP port "
                                 "bound, beside a DHCP client; replies carry their Ethernet source")
                        ->group(kHelpCapture);
    std::string vlan_text;
    auto* vlan = app.add_option("--vlan", vlan_text,
                                "With --capture, one 802.1Q-tagged DISCOVER per VLAN in each round and a verdict "
                                "per VLAN: 10,20,100-120 (1 to 4094; 'untagged' adds the untagged LAN)")
                     ->type_name("LIST")
                     ->group(kHelpCapture)
                     ->check(CLI::Validator(check_vlan_list, ""));
    bool ipv4_flag = false, ipv6_flag = false;
    app.add_flag("-4,--ipv4", ipv4_flag, "Run the IPv4 checks (the default; with -6, both in one round)")
        ->group(kHelpIpv6);
    app.add_flag("-6,--ipv6", ipv6_flag,
                 "Run the IPv6 checks: a DHCPv6 SOLICIT and a Router Solicitation per interface (Linux, needs "
                 "cap_net_bind_service and cap_net_raw)")
        ->group(kHelpIpv6);
    auto* prefix_delegation = app.add_flag("--prefix-delegation", options.prefix_delegation,
                                           "With -6, ask for a delegated prefix as well (IA_PD)")
                                  ->group(kHelpIpv6);
    std::vector<std::string> expected_routers;
    auto* expect_router = app.add_option("--expect-router", expected_routers,
                                         "With -6, the authorised routers, by link-local or Ethernet address; any "
                                         "other router advertising is then CRITICAL")
                              ->type_name("ADDRESS[,...]")
                              ->group(kHelpIpv6)
                              ->delimiter(',')
                              ->check(CLI::Validator(check_expect_router, ""));

    monitor->excludes(count);
    interface->excludes(all);
    vlan->needs(capture);
    quick->excludes(monitor);
    log->excludes(no_log);
    listen->needs(monitor);
    on_change->needs(monitor);

    try {
        app.parse(argc, argv);
        options.interval_given = interval->count() > 0;
        if (!output.empty() && !options.monitor)
            throw CLI::ValidationError("--output", "--output is for --monitor; a single check reports every reply");
        // A plugin's check ends with its one status line; a monitor never ends.
        if (format == "nagios" && options.monitor)
            throw CLI::ValidationError(format_option->get_name(),
                                       "--format nagios is for single checks, not --monitor");
        check_together(options);
        if ((options.capture || vlan->count() > 0) && !packet_capture_supported())
            throw CLI::ValidationError(std::string(options.capture ? "--capture" : "--vlan") +
                                       ": this system offers no packet socket, which --capture and --vlan need");
        options.vlans_given = vlan->count() > 0;
        if (options.vlans_given) read_vlan_list(vlan_text, options.lans);
        options.ipv6 = ipv6_flag;
        options.ipv4 = ipv4_flag || !ipv6_flag;
        std::vector<ExpectEntry> entries;
        for (const std::string& text : expected) {
            if (text.empty()) continue;
            ExpectEntry entry;
            if (read_expect_entry(text, entry).empty()) {
                entries.push_back(entry);
                continue;
            }
            read_expected_dhcpv6_server(text, options.expected6);
        }
        for (const std::string& text : expected_routers) read_expected_router(text, options.expected6);
        check_families(options, !entries.empty(), expect_router->count() > 0, prefix_delegation->count() > 0,
                       !entries.empty() || expects_servers(options.expected6) || expect_router->count() > 0,
                       quick->count() > 0);
        const std::string refused =
            resolve_expectations(entries, options.lans, options.vlans_given, options.capture, options.expected);
        if (!refused.empty()) throw CLI::ValidationError(refused);
    } catch (const CLI::ParseError& error) {
        // CLI11 prints the help or the complaint (through failure_text). A refused command line says
        // nothing about the LAN (UNKNOWN), so that it cannot be taken for a verdict.
        return app.exit(error) == 0 ? 0 : kExitRefusedCommandLine;
    }
    if (mac == "random") {
        options.mac_given = true;
        options.mac_random = true;
        options.mac = random_hardware_address();
    } else if (!mac.empty()) {
        options.mac_given = parse_hardware_address(mac, options.mac);
    }
    options.format = format == "json"     ? OutputFormat::json
                     : format == "nagios" ? OutputFormat::nagios
                                          : OutputFormat::text;
    options.log_path = log_path;
    // A daemon's journal and its working folder get no raw log unless one is asked for.
    if (options.monitor && log->count() == 0) options.no_log = true;
    if (output == "events" ||
        (output.empty() && options.monitor && options.format == OutputFormat::text && !output_is_terminal()))
        options.output = OutputDetail::events;
    options.extended_text = options.format == OutputFormat::text && any_new_option(app);
    return -1;
}
