// One run of the probe after start-up: rounds of requests, the replies, the report and the verdict.
#include "cli/probe_session.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "cli/json_report.h"
#include "cli/reply_flags.h"
#include "cli/text_report.h"
#include "cli/verdict.h"
#include "discovery/discovery_request.h"
#include "discovery/network.h"
#include "discovery/probe_endpoints.h"
#include "discovery/raw_log.h"
#include "discovery/receiver_loop.h"
#include "discovery/reply_decoder.h"
#include "discovery/report_output.h"

namespace {

// Set from a signal handler (on Windows from the runtime's own thread), so lock-free.
std::atomic<int> stop_requested{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The longest a wait may block before the stop request is looked at again.
constexpr int kLongestWaitMs = 200;

void print_line(std::FILE* stream, const std::string& line)
{
    std::fputs(line.c_str(), stream);
    std::fputc('\n', stream);
    // Each line is shown as it is made, also when the stream is a pipe.
    std::fflush(stream);
}

bool is_json(const ProbeSession& session)
{
    return session.options.format == OutputFormat::json;
}

// The probe's own text goes to stdout beside the blocks only when an option asked for more than the
// window program's report; otherwise stdout stays that report's lines (CRLF turned into LF), and the rest
// goes to stderr.
std::FILE* own_text_stream(const ProbeSession& session)
{
    return session.options.extended_text ? stdout : stderr;
}

std::int64_t unix_ms_now()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The window program's block for the current reply summary, with the probe's lines before the separator.
void report_block(const ProbeSession& session, const ReplyRecord& reply, const ReplyFlags& flags)
{
    show_received_count(app_state.received_count);
    const std::vector<std::string> extra =
        session.options.extended_text ? extra_block_lines(reply, flags) : std::vector<std::string>{};
    const ReportPlan plan = plan_report(app_state.reply_summary);
    for (int k = 0; k < plan.count; ++k) {
        if (plan.lines[k] == ReportLine::separator)
            for (const std::string& line : extra) print_line(stdout, line);
        format_report_line(app_state.report_text, plan.lines[k], app_state.reply_summary);
        append_report_line(app_state.report_text.data());
    }
    if (!session.options.extended_text) {
        const std::string flagged = flags_line(flags);
        if (!flagged.empty()) print_line(stderr, flagged);
    }
}

}  // namespace

void request_probe_stop()
{
    stop_requested.store(1);
}

bool probe_stop_requested()
{
    return stop_requested.load() != 0;
}

void clear_probe_stop()
{
    stop_requested.store(0);
}

void begin_session(ProbeSession& session, const ProbeOptions& options, const std::vector<ProbeSocket>& sockets)
{
    session.options = options;
    session.sockets = sockets;
    session.started = std::chrono::steady_clock::now();
    session.round = 0;
    session.run = Tally{};
    session.this_round = Tally{};
    session.sends = SendRecord{};
}

void start_round(ProbeSession& session)
{
    session.round += 1;
    session.this_round = Tally{};
}

void send_round(ProbeSession& session)
{
    start_round(session);
    for (const ProbeSocket& socket : session.sockets) {
        app_state.hardware_address = socket.hardware_address;
        const int sent = send_discovery(socket.request);
        app_state.sent_count += 1;
        if (sent < 0) {
            session.sends.failed += 1;
            session.sends.last_error = last_network_error();
            print_line(stderr, "orvane-probe: the request was not sent" +
                                   (socket.device.empty() ? std::string() : " on " + socket.device) + ": " +
                                   network_error_text(session.sends.last_error));
        } else {
            session.sends.sent += 1;
        }
        if (!is_json(session)) print_line(stderr, "Packets Sent: " + std::to_string(app_state.sent_count));
    }
}

bool listen_until(ProbeSession& session, std::chrono::steady_clock::time_point deadline, bool quick)
{
    std::vector<Endpoint> endpoints;
    for (const ProbeSocket& socket : session.sockets) endpoints.push_back(socket.reply);
    while (!probe_stop_requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        const int ready = wait_for_datagram(endpoints.data(), endpoints.size(),
                                            static_cast<int>(std::min<std::int64_t>(left, kLongestWaitMs)));
        if (ready == -2) {
            print_line(stderr, "orvane-probe: waiting for replies failed: " + network_error_text(last_network_error()));
            return false;
        }
        if (ready < 0) continue;
        take_datagram(session, static_cast<std::size_t>(ready));
        if (quick && every_expected_answered(session.this_round, session.options.expected)) return true;
    }
    return false;
}

void take_datagram(ProbeSession& session, std::size_t index)
{
    const ProbeSocket& socket = session.sockets[index];
    ArrivedDatagram arrived;
    const int length =
        receive_arrived_datagram(socket.reply, app_state.reply_buffer.data(), app_state.reply_buffer.size(), arrived);
    if (length < 0) {
        print_line(stderr, "orvane-probe: a receive failed: " + network_error_text(last_network_error()));
        return;
    }
    // As the window program does: a datagram cut short is not logged, yet reported from what the buffer
    // holds; the report's walk goes over the whole buffer, the probe's own only over what came.
    if (!arrived.truncated) append_raw_log(app_state.reply_buffer.data(), static_cast<std::size_t>(length));
    decode_reply(app_state.reply_buffer, app_state.reply_summary);
    app_state.received_count = static_cast<std::int32_t>(static_cast<std::uint32_t>(app_state.received_count) + 1u);

    ReplyRecord reply;
    reply.unix_ms = unix_ms_now();
    reply.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
    reply.round = session.round;
    reply.interface = socket.device.empty() ? std::string(arrived.interface_name) : socket.device;
    reply.source = arrived.source;
    reply.length = static_cast<std::size_t>(length);
    reply.truncated = arrived.truncated;
    reply.fields = decode_reply_fields(app_state.reply_buffer.data(), reply.length);

    const std::vector<Ipv4Address>& expected = session.options.expected;
    tally_reply(session.run, reply, expected);
    tally_reply(session.this_round, reply, expected);
    const ReplyFlags flags = judge_reply(reply, session.run, expected);
    if (is_json(session))
        print_line(stdout, reply_json(reply, flags, expected));
    else
        report_block(session, reply, flags);
}

void report_round(const ProbeSession& session)
{
    const std::vector<Ipv4Address>& expected = session.options.expected;
    const Verdict verdict = judge_tally(session.this_round, expected);
    if (is_json(session)) {
        print_line(stdout, round_json(session.round, unix_ms_now(), session.this_round, verdict, expected));
        return;
    }
    std::FILE* stream = own_text_stream(session);
    print_line(stream, round_line(session.round, unix_ms_now(), session.this_round, verdict, !expected.empty()));
    for (const std::string& line : summary_lines(session.this_round, verdict, !expected.empty()))
        print_line(stream, " " + line);
}

int finish_session(const ProbeSession& session)
{
    const std::vector<Ipv4Address>& expected = session.options.expected;
    const Verdict verdict = judge_tally(session.run, expected);
    NoReplyFacts facts;
    const bool silent_run = session.run.replies == 0;
    if (silent_run) {
        std::vector<std::string> devices;
        for (const ProbeSocket& socket : session.sockets) devices.push_back(socket.device);
        facts = gather_no_reply_facts(devices, session.sends);
    }
    if (is_json(session)) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - session.started).count();
        print_line(stdout, summary_json(unix_ms_now(), elapsed, session.sends, session.round, session.run, verdict,
                                        expected, silent_run ? &facts : nullptr));
        return verdict.status;
    }
    std::FILE* stream = own_text_stream(session);
    for (const std::string& line : summary_lines(session.run, verdict, !expected.empty())) print_line(stream, line);
    print_line(stream, verdict_line(verdict, !expected.empty()));
    if (silent_run)
        for (const std::string& line : no_reply_lines(facts)) print_line(stream, line);
    return verdict.status;
}
