// orvane-probe's command line: what each option sets, and its reading with CLI11.
#include "cli/probe_options.h"

#include <CLI/CLI.hpp>

#include <random>

#include "common/version.h"
#include "protocol/reply_fields.h"

namespace {

constexpr const char* kFooter =
    "Exit status: 0 every reply came from an expected server (or, with no --expect, something answered);\n"
    "1 start-up failure or a refused command line; 2 an unexpected server answered;\n"
    "3 an expected server stayed silent, or nothing answered.";

std::string check_address(std::string& text)
{
    Ipv4Address address;
    return parse_ipv4(text, address) ? std::string() : "not an IPv4 address: " + text;
}

std::string check_mac(std::string& text)
{
    HardwareAddress address;
    if (text == "random" || parse_hardware_address(text, address)) return {};
    return "not an Ethernet address (six hexadecimal pairs) nor 'random': " + text;
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
    // Rounds shorter than a second would flood the link with broadcasts for as long as the monitor runs.
    if (options.monitor && round_interval(options) < 1.0)
        throw CLI::ValidationError("--monitor", "--monitor needs rounds of at least 1 second (--interval)");
}

}  // namespace

double round_interval(const ProbeOptions& options)
{
    return options.interval_given ? options.interval_seconds : options.wait_seconds;
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
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("orvane-probe ") + kOrvaneVersion, "Print the version and exit");
    std::vector<std::string> expected;
    std::string mac;
    std::string format = "text";
    std::string log_path = options.log_path;

    app.add_option("--wait", options.wait_seconds, "Seconds to listen after the last request")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    auto* count = app.add_option("--count", options.count, "Requests to send, one per round")
                      ->type_name("N")
                      ->check(CLI::Range(1, 1000000));
    auto* interval = app.add_option("--interval", options.interval_seconds,
                                    "Seconds from one request to the next (default: the wait)")
                         ->type_name("SECONDS")
                         ->check(CLI::NonNegativeNumber);
    auto* monitor =
        app.add_flag("--monitor", options.monitor, "Repeat rounds until interrupted, with a summary after each round");
    auto* interface = app.add_option("--interface", options.interface,
                                     "Send and listen on this interface only, with its Ethernet address")
                          ->type_name("NAME");
    auto* all = app.add_flag("--all-interfaces", options.all_interfaces,
                             "One socket pair on each Ethernet interface that is up and has an IPv4 address");
    app.add_option("--mac", mac, "Client hardware address to send, or 'random' (locally administered)")
        ->type_name("MAC|random")
        ->check(CLI::Validator(check_mac, ""));
    auto* expect = app.add_option("--expect", expected, "Authorised servers, by server identifier or source address")
                       ->type_name("ADDRESS[,ADDRESS...]")
                       ->delimiter(',')
                       ->check(CLI::Validator(check_address, ""));
    auto* quick = app.add_flag("--quick", options.quick, "End as soon as every expected server has answered");
    app.add_option("--format", format, "Report as text blocks or as JSON Lines")
        ->type_name("text|json")
        ->check(CLI::IsMember({"text", "json"}))
        ->capture_default_str();
    auto* log = app.add_option("--log", log_path, "Append raw replies to FILE instead of ./LogFile")->type_name("FILE");
    auto* no_log = app.add_flag("--no-log", options.no_log, "Keep no raw log");

    monitor->excludes(count);
    interface->excludes(all);
    quick->needs(expect);
    quick->excludes(monitor);
    log->excludes(no_log);

    try {
        app.parse(argc, argv);
        options.interval_given = interval->count() > 0;
        check_together(options);
    } catch (const CLI::ParseError& error) {
        // CLI11 prints the help or the complaint. A refused command line is a failure to start (1), so
        // that it cannot be taken for a verdict (2 or 3).
        return app.exit(error) == 0 ? 0 : 1;
    }
    for (const std::string& text : expected) {
        Ipv4Address address;
        parse_ipv4(text, address);
        options.expected.push_back(address);
    }
    if (mac == "random") {
        options.mac_given = true;
        options.mac_random = true;
        options.mac = random_hardware_address();
    } else if (!mac.empty()) {
        options.mac_given = parse_hardware_address(mac, options.mac);
    }
    options.format = format == "json" ? OutputFormat::json : OutputFormat::text;
    options.log_path = log_path;
    options.extended_text = options.format == OutputFormat::text && any_new_option(app);
    return -1;
}
