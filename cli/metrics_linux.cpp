// Linux: the metrics outlets through prometheus-cpp (Debian's prometheus-cpp-dev): the pull exposer for
// /metrics, its text serializer for the textfile, which is replaced whole after each round.
#include "cli/metrics.h"

#include <prometheus/collectable.h>
#include <prometheus/exposer.h>

#include <civetweb.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>

#include "cli/console_output.h"
#include "cli/metrics_address.h"
#include "cli/metrics_families.h"
#include "common/version.h"

namespace {

// What a scrape gets: the families of the last whole round, swapped in under one lock, so that a scrape
// during a round sees the round before it entirely, never half of the next.
class RoundSnapshot : public prometheus::Collectable {
public:
    std::vector<prometheus::MetricFamily> Collect() const override
    {
        const std::lock_guard<std::mutex> hold(lock_);
        return families_;
    }

    void replace(std::vector<prometheus::MetricFamily> families)
    {
        const std::lock_guard<std::mutex> hold(lock_);
        families_.swap(families);
    }

private:
    mutable std::mutex lock_;
    std::vector<prometheus::MetricFamily> families_;
};

std::string errno_text(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Writes text to path through a temporary file in the same folder, made durable before it takes the
// name, so that a reader sees the old file or the new one, never part of one. The temporary name is
// mkstemp's, made anew with O_EXCL each time, so that nobody else sharing the folder can plant it; the
// mode is 0644 whatever the umask, since node_exporter may read as another user and metrics are not
// secret. Empty string or the reason.
std::string replace_file(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno_text("cannot create a file beside it", errno);
    std::string failure;
    if (fchmod(fd, 0644) != 0) failure = errno_text("cannot set its mode", errno);
    for (std::size_t done = 0; done < text.size() && failure.empty();) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0)
            failure = errno_text("cannot write", wrote < 0 ? errno : EIO);
        else
            done += static_cast<std::size_t>(wrote);
    }
    if (failure.empty() && fsync(fd) != 0) failure = errno_text("cannot sync", errno);
    if (close(fd) != 0 && failure.empty()) failure = errno_text("cannot close", errno);
    if (failure.empty() && rename(temporary.c_str(), path.c_str()) != 0) failure = errno_text("cannot rename", errno);
    if (!failure.empty()) unlink(temporary.c_str());
    return failure;
}

// civetweb gives each connection a worker thread until its request is read. Enough workers that idle or
// dribbling connections leave one free for the scraper, and a request that has not come whole in
// kRequestTimeoutMs is dropped, so that its worker is free again.
constexpr int kExposerThreads = 24;
constexpr int kRequestTimeoutMs = 1500;

std::vector<std::string> exposer_options(const std::string& listen)
{
    return {"listening_ports",    listen,
            "num_threads",        std::to_string(kExposerThreads),
            "request_timeout_ms", std::to_string(kRequestTimeoutMs)};
}

// civetweb's listening thread polls for up to 2 s before it looks at a stop request, and so may a worker
// reading a slow request: the probe would outlast the second a stop may take. Every TCP socket of the
// exposer's ports (the listening one and the connections taken on it) is shut down first, which ends those
// polls at once. The sockets are civetweb's, so they are found among the process's descriptors.
void cut_exposer_sockets(const prometheus::Exposer& exposer)
{
    const std::vector<int> ports = exposer.GetListeningPorts();
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return;
    while (const dirent* entry = readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        int type = 0;
        socklen_t size = sizeof type;
        if (fd <= STDERR_FILENO || getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            continue;
        const in_port_t port = local.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(local).sin6_port
                                                           : reinterpret_cast<const sockaddr_in&>(local).sin_port;
        if (std::find(ports.begin(), ports.end(), static_cast<int>(ntohs(port))) != ports.end())
            shutdown(fd, SHUT_RDWR);
    }
    closedir(folder);
}

// Binds a socket of our own to the exposer's address and lets it go, so that a refusal is said with the
// address, the port and the system's reason: civetweb only says that it could not bind. Empty, or the reason.
std::string test_bind(const std::string& listen)
{
    ListenParts parts;
    split_listen_address(listen, parts);  // the command line took only what splits
    const std::string& host = parts.host;
    const std::string& port = parts.port;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
        return "not an address and port: " + terminal_text(listen);
    std::string failure;
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) failure = errno_text("cannot open a TCP socket", errno);
    const int yes = 1;
    // As civetweb binds: a port left in TIME_WAIT by a probe just stopped is free to take.
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (fd >= 0 && bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
        const int error = errno;
        failure = "cannot bind TCP port " + port + " on " + host + ": " + std::strerror(error) + " (errno " +
                  std::to_string(error) + ")";
        if (error == EADDRINUSE) failure += "; another program holds the port";
        if (error == EADDRNOTAVAIL) failure += "; the address is not one of this host's";
        if (error == EACCES) failure += "; a port under 1024 needs a right the probe has dropped by then";
    }
    if (fd >= 0) close(fd);
    freeaddrinfo(found);
    return failure;
}

}  // namespace

bool exposer_has_ipv6()
{
    constexpr unsigned kCivetwebIpv6 = 8;  // civetweb's feature bit for IPv6 listening sockets
    return mg_check_feature(kCivetwebIpv6) != 0;
}

struct MetricsOutlet {
    MetricsState state;
    std::shared_ptr<RoundSnapshot> snapshot;
    std::unique_ptr<prometheus::Exposer> exposer;
    std::string file;
    bool file_failing = false;
};

void MetricsOutletDeleter::operator()(MetricsOutlet* outlet) const
{
    if (outlet->exposer) cut_exposer_sockets(*outlet->exposer);
    delete outlet;
}

bool metrics_supported()
{
    return true;
}

std::string open_metrics(const ProbeOptions& options, MetricsOutletPtr& outlet)
{
    outlet.reset();
    if (options.metrics_listen.empty() && options.metrics_file.empty()) return {};
    MetricsOutletPtr made(new MetricsOutlet);
    made->state.version = kOrvaneVersion;
    made->state.retire_rounds = options.metrics_retire_rounds;
    made->file = options.metrics_file;
    made->snapshot = std::make_shared<RoundSnapshot>();
    made->snapshot->replace(metric_families(made->state));
    if (!options.metrics_listen.empty()) {
        if (!exposer_has_ipv6() && options.metrics_listen[0] == '[')
            return "cannot serve metrics on " + terminal_text(options.metrics_listen) +
                   ": the HTTP server under prometheus-cpp here (civetweb) was built without IPv6; give an IPv4 "
                   "address";
        if (const std::string refused = test_bind(options.metrics_listen); !refused.empty())
            return "cannot serve metrics on " + terminal_text(options.metrics_listen) + ": " + refused;
        try {
            made->exposer = std::make_unique<prometheus::Exposer>(exposer_options(options.metrics_listen));
            made->exposer->RegisterCollectable(made->snapshot);
        } catch (const std::exception& error) {
            return "cannot serve metrics on " + terminal_text(options.metrics_listen) + ": " +
                   terminal_text(error.what());
        }
    }
    outlet = std::move(made);
    return {};
}

void publish_metrics(MetricsOutlet& outlet, const RoundRecord& record)
{
    add_round(outlet.state, record);
    std::vector<prometheus::MetricFamily> families = metric_families(outlet.state);
    if (!outlet.file.empty()) {
        const std::string failure = replace_file(outlet.file, metrics_text(families));
        const std::string shown = terminal_text(outlet.file);
        if (failure.empty() && outlet.file_failing)
            print_line(stderr, "orvane-probe: the metrics file " + shown + " is written again");
        if (!failure.empty() && !outlet.file_failing)
            print_line(stderr, "orvane-probe: the metrics file " + shown + " cannot be written (" + failure +
                                   "); the rounds go on");
        outlet.file_failing = !failure.empty();
    }
    outlet.snapshot->replace(std::move(families));
}

std::vector<int> metrics_listening_ports(const MetricsOutlet& outlet)
{
    return outlet.exposer ? outlet.exposer->GetListeningPorts() : std::vector<int>{};
}
