// Qt shell on Linux: the entry of the window program orvane.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/helper_link.h"
#include "app/log_notice.h"
#include "app/qt/shell.h"
#include "app/startup.h"
#include "common/version.h"
#include "host/standard_descriptors.h"

namespace {

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
    "./LogFile. The sockets are opened by its helper orvane-helper, which alone holds the rights; only root\n"
    "and the members of the group orvane may run it.\n"
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
    // The helper holds both ports (or port 67 and a packet socket in place of a held port 68) before Qt starts, so
    // no window opens on a failure; Qt runs in a process that holds no right and no privileged descriptor.
    const StartupOutcome outcome = start_up();
    if (outcome.failed_step != StartupStep::none) {
        const std::string line = "orvane: " + startup_failure_line(outcome);
        std::fprintf(stderr, "%s\n", line.c_str());
        notify_startup_failure(line);
        return 1;
    }
    QApplication application(argc, argv);
    // Only the quit request ends the run; a hidden About window must not end it either.
    application.setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("orvane"));
    install_shutdown_paths(application);
    log_notice.notify_desktop = notify_log_trouble;
    return run_main_window();
}
