// Qt shell on Linux: the entry of the window program orvane.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/qt/shell.h"
#include "app/reply_capture.h"
#include "app/startup.h"
#include "common/version.h"
#include "host/standard_descriptors.h"

namespace {

// The file a user would grant the capability to: the program itself, not the name it was called by.
std::string program_path(const char* called_as)
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(called_as) : path.string();
}

// --help or --version anywhere on the command line: answered before a port is bound or Qt is touched, so that
// asking how to use the program never broadcasts. Any other argument is let be, as it always was.
bool asked(int argc, char** argv, const char* option)
{
    for (int k = 1; k < argc; ++k)
        if (std::strcmp(argv[k], option) == 0) return true;
    return false;
}

constexpr const char* kHelp =
    "Usage: orvane [--help | --version]\n"
    "\n"
    "Broadcasts one DHCP DISCOVER from UDP port 67 and shows in its window every reply on UDP port 68:\n"
    "which server answered, through which relay agent, what it offered. Every raw reply is appended to\n"
    "./LogFile. It needs cap_net_bind_service (and cap_net_raw beside a DHCP client holding port 68).\n"
    "\n"
    "  --help     Print this help and exit\n"
    "  --version  Print the version and exit\n"
    "\n"
    "orvane-probe does the same from a terminal or a script; see orvane(1) and orvane-probe(1).\n";

}  // namespace

int main(int argc, char** argv)
{
    // Before the signal pipe, the sockets or Qt open anything: none of them may become descriptor 0, 1 or 2.
    if (!make_standard_descriptors_valid()) return 1;
    if (asked(argc, argv, "--help")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (asked(argc, argv, "--version")) {
        std::printf("orvane %s\n", kOrvaneVersion);
        return 0;
    }
    catch_termination_signals();
    // Both ports are bound (or port 67 and a packet socket in place of a held port 68) and every capability is
    // dropped before Qt starts, so no window opens on a failure and neither Qt nor any datagram ever runs with
    // privileges.
    const StartupOutcome outcome = start_up();
    if (outcome.failed_step != StartupStep::none) {
        const std::string path = program_path(argv[0]);
        const std::string line =
            "orvane: " + startup_failure_message(outcome, path.c_str()) + reply_capture_note(outcome, path.c_str());
        std::fprintf(stderr, "%s\n", line.c_str());
        notify_startup_failure(line);
        return 1;
    }
    QApplication application(argc, argv);
    // Only the quit request ends the run; a hidden About window must not end it either.
    application.setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("orvane"));
    install_shutdown_paths(application);
    return run_main_window();
}
