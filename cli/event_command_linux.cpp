// Linux: --on-change through /bin/sh -c, started with posix_spawn, collected with waitpid when done.
#include "cli/event_command.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "cli/console_output.h"

extern char** environ;

bool event_commands_supported()
{
    return true;
}

namespace {

// Spawns the command for one event now.
void spawn_event_command(EventCommands& commands, const ProbeEvent& event)
{
    const char* word = event_word(event.kind);
    // The probe's own environment less any ORVANE_ variable it had, then the event's.
    std::vector<std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "ORVANE_", 7) != 0) variables.emplace_back(*entry);
    for (const auto& [name, value] : event_environment(event)) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    std::string shell = "/bin/sh", flag = "-c", command = commands.command;
    char* argv[] = {shell.data(), flag.data(), command.data(), nullptr};
    // The probe ignores SIGPIPE for its own reasons; the command gets the usual default.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t process = 0;
    const int error = posix_spawn(&process, "/bin/sh", &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        print_line(stderr, std::string("orvane-probe: the --on-change command could not start for ") + word + ": " +
                               std::strerror(error));
        return;
    }
    commands.running.push_back(RunningCommand{process, word, std::chrono::steady_clock::now()});
}

// Queued events into free slots, the allow-list's first.
void start_queued(EventCommands& commands)
{
    ProbeEvent event;
    while (commands.running.size() < kMaxRunningCommands && take_queued_event(commands.queue, event))
        spawn_event_command(commands, event);
    if (commands.queue.pushed_out > commands.pushed_out_said) {
        print_line(stderr, "orvane-probe: " + std::to_string(commands.queue.pushed_out - commands.pushed_out_said) +
                               " strangers' events waited past the queue's " +
                               std::to_string(kMaxQueuedStrangerEvents) + " and were not run");
        commands.pushed_out_said = commands.queue.pushed_out;
    }
}

}  // namespace

void start_event_command(EventCommands& commands, const ProbeEvent& event)
{
    if (commands.command.empty()) return;
    queue_event(commands.queue, event);
    reap_event_commands(commands, 0);
}

void reap_event_commands(EventCommands& commands, int wait_ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        for (auto it = commands.running.begin(); it != commands.running.end();) {
            int status = 0;
            const pid_t done = waitpid(static_cast<pid_t>(it->process), &status, WNOHANG);
            if (done == 0) {
                // Its own process group holds the shell and what it started; all of it goes.
                if (now - it->started > kCommandTimeLimit && !it->killed) {
                    print_line(stderr, "orvane-probe: the --on-change command for " + it->event + " ran over " +
                                           std::to_string(kCommandTimeLimit.count()) + " s and is killed");
                    kill(-static_cast<pid_t>(it->process), SIGKILL);
                    it->killed = true;
                }
                ++it;
                continue;
            }
            if (done > 0 && WIFEXITED(status) && WEXITSTATUS(status) != 0)
                print_line(stderr, "orvane-probe: the --on-change command for " + it->event + " ended with status " +
                                       std::to_string(WEXITSTATUS(status)));
            else if (done > 0 && WIFSIGNALED(status))
                print_line(stderr, "orvane-probe: the --on-change command for " + it->event + " ended by signal " +
                                       std::to_string(WTERMSIG(status)));
            it = commands.running.erase(it);
        }
        start_queued(commands);
        if (commands.running.empty() || std::chrono::steady_clock::now() >= until) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void drop_queued_event_commands(EventCommands& commands)
{
    const std::size_t left = queued_events(commands.queue);
    if (left > 0)
        print_line(stderr, "orvane-probe: the run ended with " + std::to_string(left) +
                               (left == 1 ? " event" : " events") + " still queued for --on-change; not run");
    commands.queue = EventQueue{};
}
