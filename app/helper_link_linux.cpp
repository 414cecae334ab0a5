// Linux: the window program's link to its privileged helper: starting it, its start-up's answer, the requests
// handed to it and the replies taken from it.
#include "app/helper_link.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/reply_capture.h"
#include "net/network_stop_linux.h"
#include "protocol/helper_frames.h"

namespace {

// How long a helper may take to open its sockets before the program gives up on it.
constexpr int kHelperAnswerMs = 10000;

enum class LinkFailure { none, not_started, no_answer, bad_answer };

struct HelperLink {
    int channel = -1;
    pid_t pid = -1;
    std::string path;
    LinkFailure failure = LinkFailure::none;
    int error_code = 0;  // errno for not_started and no_answer
    HelperFrameError frame_error = HelperFrameError::none;
    CaptureOpening capture;  // the helper's packet socket in place of a held port 68
};

HelperLink helper_link;

StartupOutcome link_failed(LinkFailure failure, int error_code)
{
    helper_link.failure = failure;
    helper_link.error_code = error_code;
    if (helper_link.channel >= 0) close(helper_link.channel);
    helper_link.channel = -1;
    // A helper that answered a failure ends at once; one that did not answer is not waited for.
    if (helper_link.pid > 0 && failure != LinkFailure::no_answer) waitpid(helper_link.pid, nullptr, 0);
    return {StartupStep::network, error_code};
}

// Runs the helper with its end of the socketpair as descriptor 3, stdin on /dev/null and no environment at all.
int spawn_helper(int child_end)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, child_end, kHelperChannelDescriptor);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&signals, signal_number);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char name[] = "orvane-helper";
    char* arguments[] = {name, nullptr};
    char* environment[] = {nullptr};
    const int spawned =
        posix_spawn(&helper_link.pid, helper_link.path.c_str(), &actions, &attributes, arguments, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned;
}

// The helper's first frame: how its start-up went.
StartupOutcome take_started_frame()
{
    pollfd wait{helper_link.channel, POLLIN, 0};
    int ready;
    do ready = poll(&wait, 1, kHelperAnswerMs);
    while (ready < 0 && errno == EINTR);
    if (ready == 0) return link_failed(LinkFailure::no_answer, ETIMEDOUT);
    std::uint8_t bytes[kMaxHelperFrameSize + 1];
    const ssize_t length = recv(helper_link.channel, bytes, sizeof bytes, 0);
    if (length <= 0) return link_failed(LinkFailure::not_started, length == 0 ? ECHILD : errno);
    const HelperFrameDecoding decoding = decode_helper_frame(bytes, static_cast<std::size_t>(length));
    helper_link.frame_error = decoding.error;
    const HelperFrame& frame = decoding.frame;
    if (decoding.error == HelperFrameError::none && frame.kind != HelperFrameKind::started)
        helper_link.frame_error = HelperFrameError::unknown_kind;
    if (helper_link.frame_error == HelperFrameError::none &&
        (frame.failed_step > static_cast<std::uint8_t>(StartupStep::privileges) ||
         frame.capture_step > static_cast<std::uint8_t>(CaptureStep::promiscuous)))
        helper_link.frame_error = HelperFrameError::bad_reply;
    if (helper_link.frame_error != HelperFrameError::none) return link_failed(LinkFailure::bad_answer, EPROTO);
    helper_link.capture = {static_cast<CaptureStep>(frame.capture_step), static_cast<int>(frame.capture_error)};
    const StartupOutcome outcome{static_cast<StartupStep>(frame.failed_step), static_cast<int>(frame.error_code)};
    if (outcome.failed_step != StartupStep::none) {
        link_failed(LinkFailure::none, outcome.error_code);
        return outcome;
    }
    return outcome;
}

// Waits for stop_network once the helper has gone, so that the receiver thread does not spin on a closed link.
void wait_for_stop()
{
    pollfd wait{network_stop_event(), POLLIN, 0};
    while (!network_was_stopped() && poll(&wait, 1, -1) < 0 && errno == EINTR) {
    }
}

std::string user_name()
{
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr) return entry->pw_name;
    return std::to_string(getuid());
}

}  // namespace

std::string helper_path()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return ORVANE_HELPER_FROM_BIN;
    return (program.parent_path() / ORVANE_HELPER_FROM_BIN).lexically_normal().string();
}

StartupOutcome start_helper()
{
    helper_link = HelperLink{};
    helper_link.path = helper_path();
    if (start_network(app_state.socket_library_state) == 1) return {StartupStep::network, last_network_error()};
    int ends[2];
    // Close-on-exec both: the helper gets its end as descriptor 3 alone, and no child of the window program
    // inherits the link, which would keep the helper alive after the program ends.
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return link_failed(LinkFailure::not_started, errno);
    int child_end = ends[1];
    if (child_end == kHelperChannelDescriptor) {
        child_end = fcntl(ends[1], F_DUPFD_CLOEXEC, kHelperChannelDescriptor + 1);
        close(ends[1]);
    }
    helper_link.channel = ends[0];
    const int spawned = child_end < 0 ? errno : spawn_helper(child_end);
    if (child_end >= 0) close(child_end);
    if (spawned != 0) {
        helper_link.pid = -1;
        return link_failed(LinkFailure::not_started, spawned);
    }
    const StartupOutcome outcome = take_started_frame();
    if (outcome.failed_step != StartupStep::none) return outcome;
    remember_endpoint(helper_link.channel);
    app_state.request_endpoint = helper_link.channel;
    app_state.reply_endpoint = helper_link.channel;
    return outcome;
}

bool is_helper_link(Endpoint endpoint)
{
    return endpoint != kNoEndpoint && endpoint == helper_link.channel;
}

int send_helper_discovery()
{
    HelperFrame frame;
    frame.kind = HelperFrameKind::send_discovery;
    frame.hardware_address = app_state.hardware_address;
    std::array<std::uint8_t, kMaxHelperFrameSize> bytes{};
    const std::size_t length = encode_helper_frame(frame, bytes);
    const ssize_t sent = send(helper_link.channel, bytes.data(), length, MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent == static_cast<ssize_t>(length) ? static_cast<int>(app_state.discovery_request.size()) : -1;
}

int receive_helper_reply()
{
    std::uint8_t bytes[kMaxHelperFrameSize + 1];
    ssize_t length;
    do length = recv(helper_link.channel, bytes, sizeof bytes, 0);
    while (length < 0 && errno == EINTR && !network_was_stopped());
    if (length > 0) {
        const HelperFrameDecoding decoding = decode_helper_frame(bytes, static_cast<std::size_t>(length));
        const HelperFrame& frame = decoding.frame;
        if (decoding.error == HelperFrameError::none && frame.kind == HelperFrameKind::reply) {
            // As a receive leaves the buffer: the datagram's bytes in front, the rest as it was.
            std::copy_n(frame.bytes.begin(), frame.count, app_state.reply_buffer.begin());
            if (frame.result >= 0)
                log_datagram(app_state.raw_log, app_state.reply_buffer.data(), static_cast<std::size_t>(frame.result));
            else
                app_state.raw_log.last = LogOutcome{};
            decode_reply(app_state.reply_buffer, app_state.reply_summary);
            return frame.result;
        }
    }
    // The helper stopped, ended or sent what it never sends: no more replies come. The one return left is the
    // one a receive that stop_network breaks off makes.
    if (!network_was_stopped()) wait_for_stop();
    app_state.raw_log.last = LogOutcome{};
    decode_reply(app_state.reply_buffer, app_state.reply_summary);
    errno = ESHUTDOWN;
    return -1;
}

void close_helper_link()
{
    if (helper_link.channel >= 0) {
        forget_endpoint(helper_link.channel);
        close(helper_link.channel);
    }
    if (helper_link.pid > 0) waitpid(helper_link.pid, nullptr, 0);
    if (is_helper_link(app_state.request_endpoint)) app_state.request_endpoint = kNoEndpoint;
    if (is_helper_link(app_state.reply_endpoint)) app_state.reply_endpoint = kNoEndpoint;
    helper_link = HelperLink{};
}

std::string startup_failure_line(const StartupOutcome& outcome)
{
    const std::string& path = helper_link.path;
    const std::string reason = std::strerror(helper_link.error_code);
    switch (helper_link.failure) {
        case LinkFailure::not_started:
            // The helper is root:orvane 0750: only root and the group's members may run it.
            if (helper_link.error_code == EACCES)
                return "cannot bind UDP port 67: " + reason + "; only root and the members of the group orvane " +
                       "may run its helper " + path + ": sudo adduser " + user_name() + " orvane, then log in again";
            return "cannot start its helper " + path + ": " + reason;
        case LinkFailure::no_answer: return "its helper " + path + " did not answer: " + reason;
        case LinkFailure::bad_answer:
            return "its helper " + path + " answered with " + helper_frame_error_text(helper_link.frame_error);
        case LinkFailure::none: break;
    }
    return startup_failure_message(outcome, path.c_str()) +
           reply_capture_note(outcome, helper_link.capture, path.c_str());
}
