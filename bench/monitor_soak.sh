#!/usr/bin/env bash
# A long monitor run in a private LAN: orvane-probe --monitor --interval 1 against the lab's two servers for N
# rounds, its resident memory, descriptors and CPU time sampled after every round. Run by hand, as root, in the
# background (10,000 rounds take about 2 h 50 min):
#
#   bench/monitor_soak.sh [--rounds N] [--bin DIR] [--out FILE] [--metrics] [-- PROBE OPTIONS...]
#   bench/monitor_soak.sh --summary FILE      the figures of a run so far, also while it runs
#
# --metrics adds --metrics-listen on the client's address and --metrics-file in the lab folder, and scrapes
# /metrics every 5 s from inside the client's namespace while the probe runs.
# FILE (default /var/tmp/orvane-soak.txt) gets the figures; FILE.samples one line per round:
#   round seconds_since_start rss_kib descriptors cpu_ticks (user + system, all threads)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

# summary FILE.samples: the first 100 rounds against the last 100 recorded.
summary() {
    awk -v ticks="$(getconf CLK_TCK)" '
        { round[NR] = $1; secs[NR] = $2; rss[NR] = $3; fds[NR] = $4; cpu[NR] = $5 }
        function window(from, to, name,    k, rmax, rmin, fmax, fmin) {
            rmax = 0; rmin = 1e18; fmax = 0; fmin = 1e18
            for (k = from; k <= to; k++) {
                if (rss[k] > rmax) rmax = rss[k]; if (rss[k] < rmin) rmin = rss[k]
                if (fds[k] > fmax) fmax = fds[k]; if (fds[k] < fmin) fmin = fds[k]
            }
            printf "rounds %d-%d (%s): RSS %d-%d KiB, descriptors %d-%d, CPU %.3f ms per round, %.3f s per round\n",
                round[from], round[to], name, rmin, rmax, fmin, fmax,
                (cpu[to] - cpu[from]) * 1000 / ticks / (to - from), (secs[to] - secs[from]) / (to - from)
            last_rss = rss[to]; last_fds = fmax
        }
        END {
            if (NR < 101) { printf "only %d rounds so far\n", NR; exit }
            window(1, 100, "first 100"); first_rss = rss[100]; first_fds = fds[100]
            window(NR - 100, NR, "last 100")
            printf "RSS growth from round %d to round %d: %+d KiB; descriptors %d then %d; whole run %.1f ms CPU per round\n",
                round[100], round[NR], rss[NR] - first_rss, first_fds, fds[NR],
                (cpu[NR] - cpu[1]) * 1000 / ticks / (NR - 1)
        }' "$1"
}

if [ "${1:-}" = --inside ]; then
    shift
    rounds=$1 bin=$2 out=$3 metrics=$4
    shift 4
    source "$ORVANE_LAB_STATE"
    lab() { "$ORVANE_LAB" exec "$ORVANE_LAB_STATE" "$@"; }
    extra=("$@")
    if [ "$metrics" = yes ]; then
        extra+=(--metrics-listen "$CLIENT_IP:9464" --metrics-file "$LAB_DIR/orvane.prom")
    fi
    pid_file=$LAB_DIR/soak.pid
    echo "version: $(lab client -- "$bin/orvane-probe" --version)" >>"$out"
    : >"$out.samples"
    lab client -- sh -c 'echo $$ >"$1"; shift; exec "$@"' - "$pid_file" "$bin/orvane-probe" --monitor --interval 1 \
        --no-log --expect "$SERVER_IP,$UPSTREAM_IP" "${extra[@]}" 2>"$out.stderr" \
        | mawk -W interactive -v pid_file="$pid_file" -v rounds="$rounds" -v samples="$out.samples" '
            BEGIN { while ((getline pid < pid_file) <= 0) { close(pid_file); system("sleep 0.05") }; close(pid_file) }
            /^Round [0-9]+ ended / {
                n = $2 + 0
                stat = "/proc/" pid "/stat"; getline line < stat; close(stat)
                sub(/^.*\) /, "", line); split(line, f, " ")  # after the name: f[12] utime, f[13] stime
                status = "/proc/" pid "/status"; rss = 0
                while ((getline l < status) > 0) if (l ~ /^VmRSS:/) { split(l, r, " "); rss = r[2] }
                close(status)
                cmd = "ls /proc/" pid "/fd | wc -l"; cmd | getline fds; close(cmd)
                cmd = "date +%s.%N"; cmd | getline now; close(cmd)
                if (n == 1) start = now
                printf "%d %.3f %d %d %d\n", n, now - start, rss, fds, f[12] + f[13] >> samples
                fflush(samples)
                if (n >= rounds) { system("kill -TERM " pid); exit }
            }' &
    reader=$!
    scraper=
    if [ "$metrics" = yes ]; then
        # A scrape every 5 s for as long as the reader runs; bounded by the rounds asked for.
        ( for ((k = 0; k < rounds / 5 + 2; k++)); do
              kill -0 "$reader" 2>/dev/null || break
              lab client -- curl -s -o /dev/null --max-time 2 "http://$CLIENT_IP:9464/metrics" || true
              sleep 5
          done ) &
        scraper=$!
    fi
    wait "$reader" || true
    [ -z "$scraper" ] || kill "$scraper" 2>/dev/null || true
    [ ! -s "$pid_file" ] || kill -TERM "$(cat "$pid_file")" 2>/dev/null || true
    exit 0
fi

if [ "${1:-}" = --summary ]; then
    summary "$2.samples"
    exit 0
fi

rounds=10000 bin=$root/build/bin out=/var/tmp/orvane-soak.txt metrics=no
while [ $# -gt 0 ]; do
    case $1 in
        --rounds) rounds=$2; shift ;;
        --bin) bin=$2; shift ;;
        --out) out=$2; shift ;;
        --metrics) metrics=yes ;;
        --) shift; break ;;
        *) echo "usage: $0 [--rounds N] [--bin DIR] [--out FILE] [--metrics] [-- PROBE OPTIONS...]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "bench: needs root (a private LAN of network namespaces)" >&2; exit 1; }
[ -x "$bin/orvane-probe" ] || { echo "bench: no $bin/orvane-probe (build first, or give --bin)" >&2; exit 1; }
bin=$(readlink -f "$bin")
out=$(readlink -f "$out")
{
    echo "orvane-probe monitor soak: $rounds rounds of --interval 1, started $(date -u +%FT%TZ)"
    echo "probe: $bin/orvane-probe, options: --monitor --interval 1 --no-log --expect (both lab servers)" \
        "$([ "$metrics" = yes ] && echo '--metrics-listen --metrics-file, a scrape every 5 s') $*"
} >"$out"
ORVANE_BIN=$bin "$root/tests/lab/lab.sh" run -- "$0" --inside "$rounds" "$bin" "$out" "$metrics" "$@"
summary "$out.samples" >>"$out"
echo "ended $(date -u +%FT%TZ)" >>"$out"
cat "$out"
