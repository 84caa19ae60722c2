#!/usr/bin/env bash
# Pages per second of a whole crawl, ours beside the peer crawlers, in one run, over one static
# site this script generates and serves on 127.0.0.1:
#   quendrix     scanner_crawl_rate --concurrent N URL, for each N of the list (the component
#                with its own 200 ms timer; follow the start site, report the page's site)
#   wget         wget --spider -r -l 2 -nd URL
#   linkchecker  linkchecker --no-status -o none -r 2 URL
#   httrack      httrack URL -r3 -p0 -O TEMP -q
# Peers that are not installed are printed as "skipped". Every tool runs with its own defaults
# otherwise (linkchecker keeps its 10 requests per second per host, httrack its 10 connections
# per second and 8 sockets: the politeness a user gets).
#
# The site: a start page linking H hubs, each hub linking its share of the leaves (about H each)
# besides the start page and the hubs beside it, each leaf linking the start page, its hub and 4
# leaves of the same hub; PAGES pages in all (default 2000: 1 + 44 + 1955), about 2 KiB each.
# Every page is three levels of pages deep at most: the scanner's default depth (the start page
# is depth 1, and pages are fetched down to depth 3), which is "-l 2" for wget and "-r 2" for
# linkchecker (their start page is level 0) and "-r3" for httrack. The leaves link nothing new,
# so a tool that reads one level more fetches the same pages.
#
# Each tool's pages are counted in the server's access log (distinct pages answered 200) and
# its time is taken from outside, start-up included. The scheduler's model caps a crawl at
# N slots / 0.6 s (a page takes three 200 ms ticks per slot: start, take in, hand on): 10 pages
# per second for 6 slots; ours is printed as a ratio to that ceiling. scanner_crawl_rate's own
# line (time to the last page, the ticks and their gaps) is printed as it comes.
#
#   bench/scanner/crawl_side_by_side.sh [build-dir] [concurrency list] [pages]
# defaults: build/bench, "6 32", 2000. OURS replaces our command; {concurrent} and {url} in it
# are replaced, e.g. OURS='build/bench/bin/quendrix-cli scan {url} --concurrent {concurrent}'
# (its standard output is thrown away). The server is nginx when installed, else python3's
# ThreadingHTTPServer; it and every tool run under a time limit (LIMIT seconds, default 1800;
# PEER_LIMIT for the peers, default LIMIT): a tool stopped by its limit is rated on the pages it
# fetched within it.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=${1:-$source_dir/build/bench}
concurrency=${2:-6 32}
pages=${3:-2000}
limit=${LIMIT:-1800}
peer_limit=${PEER_LIMIT:-$limit}
bin=$(cd "$build" 2>/dev/null && pwd)/bin || { echo "no build folder $build" >&2; exit 2; }
default_ours="$bin/scanner_crawl_rate --concurrent {concurrent} {url}"
ours=${OURS:-$default_ours}
if [ -z "${OURS:-}" ] && [ ! -x "$bin/scanner_crawl_rate" ]; then
    echo "missing $bin/scanner_crawl_rate (build it first)" >&2
    exit 2
fi
command -v python3 >/dev/null || { echo "python3 is not installed" >&2; exit 2; }
[ "$pages" -ge 10 ] || { echo "pages: at least 10" >&2; exit 2; }
# Loopback only: no proxy may stand in between.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY

temp=$(mktemp -d)
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$temp"
}
trap cleanup EXIT

# The site. Hubs: the square root of the pages; the leaves spread over them round robin.
hubs=$(awk -v n="$pages" 'BEGIN { h = int(sqrt(n - 1)); print h }')
leaves=$((pages - 1 - hubs))
mkdir -p "$temp/site/h" "$temp/site/p"
awk -v root="$temp/site" -v hubs="$hubs" -v leaves="$leaves" '
function name(kind, i) { return sprintf("/%s/%04d.html", kind, i) }
function page(file, title, body) {
    printf "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title></head>\n<body>\n<h1>%s</h1>\n%s%s</body></html>\n", title, title, body, filler > file
    close(file)
}
BEGIN {
    filler = ""
    for (k = 0; k < 12; k++) {
        filler = filler "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut labore et dolore magna aliqua.</p>\n"
    }
    body = ""
    for (h = 0; h < hubs; h++) body = body "<a href=\"" name("h", h) "\">hub " h "</a><br>\n"
    page(root "/index.html", "Start", body)
    for (h = 0; h < hubs; h++) {
        body = "<a href=\"/\">start</a> <a href=\"" name("h", (h + 1) % hubs) "\">next</a> <a href=\"" name("h", (h + hubs - 1) % hubs) "\">previous</a><ul>\n"
        for (i = h; i < leaves; i += hubs) body = body "<li><a href=\"" name("p", i) "\">leaf " i "</a></li>\n"
        page(root name("h", h), "Hub " h, body "</ul>\n")
    }
    for (i = 0; i < leaves; i++) {
        h = i % hubs
        count = int((leaves - 1 - h) / hubs) + 1
        k = int(i / hubs)
        body = "<a href=\"/\">start</a> <a href=\"" name("h", h) "\">hub</a><ul>\n"
        for (d = 1; d <= 4; d++) body = body "<li><a href=\"" name("p", h + hubs * ((k + d) % count)) "\">sibling</a></li>\n"
        page(root name("p", i), "Leaf " i, body "</ul>\n")
    }
}'
chmod -R a+rX "$temp"

# The server, on a port the kernel picked for us.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log=$temp/access.log
: >"$log"
if command -v nginx >/dev/null; then
    server=nginx
    mkdir -p "$temp/nginx"
    cat >"$temp/nginx/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $temp/nginx/nginx.pid;
error_log $temp/nginx/error.log;
events { worker_connections 1024; }
http {
    log_format counted '\$request_method \$uri \$status';
    access_log $log counted;
    types { text/html html; }
    default_type application/octet-stream;
    client_body_temp_path $temp/nginx/body;
    proxy_temp_path $temp/nginx/proxy;
    fastcgi_temp_path $temp/nginx/fastcgi;
    uwsgi_temp_path $temp/nginx/uwsgi;
    scgi_temp_path $temp/nginx/scgi;
    server {
        listen 127.0.0.1:$port;
        root $temp/site;
        index index.html;
    }
}
EOF
    timeout "$limit" nginx -p "$temp/nginx" -e "$temp/nginx/error.log" -c "$temp/nginx/nginx.conf" &
    server_pid=$!
else
    server=python3
    timeout "$limit" python3 -c '
import functools, http.server, sys
port, root, log = int(sys.argv[1]), sys.argv[2], open(sys.argv[3], "a", buffering=1)
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_request(self, code="-", size="-"):
        log.write("%s %s %s\n" % (self.command, self.path.split("?")[0], getattr(code, "value", code)))
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=root))
server.daemon_threads = True
server.serve_forever()
' "$port" "$temp/site" "$log" &
    server_pid=$!
fi
url="http://127.0.0.1:$port/"
for ((try = 0; ; try++)); do
    curl -s -f -o /dev/null "$url" && break
    [ "$try" -lt 50 ] || { echo "the $server server did not start" >&2; exit 1; }
    sleep 0.1
done
echo "site: $pages pages ($hubs hubs, $leaves leaves) served by $server at $url"

# Distinct pages answered 200 in the log lines after line $1.
count_pages() {
    tail -n +"$(($1 + 1))" "$log" | awk '$3 == 200 { seen[$2] = 1 } END { print length(seen) }'
}

results=()
# run LABEL SECONDS COMMAND...: times one tool, counts its pages, appends a result row.
run() {
    local label=$1 seconds_limit=$2
    shift 2
    local before start end status=0
    before=$(wc -l <"$log")
    start=$EPOCHREALTIME
    (cd "$temp/work" && timeout "$seconds_limit" "$@") >"$temp/stdout" 2>"$temp/stderr" || status=$?
    end=$EPOCHREALTIME
    if [ "$show_output" -eq 1 ]; then
        sed 's/^/  /' "$temp/stdout"
    fi
    if [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; then
        tail -n 5 "$temp/stderr" | sed 's/^/  /'
    fi
    local fetched seconds
    fetched=$(count_pages "$before")
    seconds=$(awk -v us="$((${end/./} - ${start/./}))" 'BEGIN { printf "%.2f", us / 1e6 }')
    local rate
    rate=$(awk -v n="$fetched" -v s="$seconds" 'BEGIN { printf "%.2f", n / s }')
    local note=""
    if [ "$status" -eq 124 ]; then
        note=" (stopped at its ${seconds_limit} s limit)"
    elif [ "$status" -ne 0 ]; then
        note=" (exit status $status)"
    fi
    results+=("$(printf '%-34s %6s %9s %9s%s' "$label" "$fetched" "$seconds" "$rate" "$note")")
    echo "${results[-1]}"
    LAST_RATE=$rate
}

mkdir -p "$temp/work"
show_output=0
ours_rows=()
peers_done=0
for n in $concurrency; do
    command=${ours//\{concurrent\}/$n}
    command=${command//\{url\}/$url}
    # scanner_crawl_rate's line of figures is shown; a command of OURS prints the links.
    show_output=$([ -z "${OURS:-}" ] && echo 1 || echo 0)
    # shellcheck disable=SC2086  # the command is words on purpose
    run "quendrix --concurrent $n" "$limit" $command
    ceiling=$(awk -v n="$n" 'BEGIN { printf "%.2f", n / 0.6 }')
    ours_rows+=("$(awk -v r="$LAST_RATE" -v c="$ceiling" -v n="$n" 'BEGIN { printf "quendrix --concurrent %d: %.2f pages/s, %.2fx the model ceiling of %.2f (target >= 0.9x)", n, r, r / c, c }')")
    # scanner_crawl_rate's own figures: the rate up to the last page (without the quiet ticks
    # that end a scan) and the mean time from one tick's end to the next (200 ms when nothing
    # of ours adds to the timer).
    if [ "$show_output" -eq 1 ]; then
        ours_rows+=("$(awk -v c="$ceiling" '{ for (i = 1; i < NF; i++) v[$i] = $(i + 1) } END { if (v["last_page_seconds"] > 0) printf "  up to the last page: %.2f pages/s, %.2fx the ceiling; mean tick gap %s ms, longest %s ms", v["pages"] / v["last_page_seconds"], v["pages"] / v["last_page_seconds"] / c, v["tick_gap_mean_ms"], v["tick_gap_max_ms"] }' "$temp/stdout")")
    fi
    show_output=0
    # The peers run once, after our first run, so load from elsewhere falls on both alike.
    if [ "$peers_done" -eq 0 ]; then
        peers_done=1
        if command -v wget >/dev/null; then
            run "wget --spider -r -l 2 -nd" "$peer_limit" wget --spider -r -l 2 -nd -q "$url"
        else
            results+=("$(printf '%-34s skipped (not installed)' 'wget --spider -r -l 2 -nd')")
            echo "${results[-1]}"
        fi
        if command -v linkchecker >/dev/null; then
            run "linkchecker -r 2" "$peer_limit" linkchecker --no-status -o none -r 2 "$url"
        else
            results+=("$(printf '%-34s skipped (not installed)' 'linkchecker -r 2')")
            echo "${results[-1]}"
        fi
        if command -v httrack >/dev/null; then
            run "httrack -r3 -p0" "$peer_limit" httrack "$url" -r3 -p0 -O "$temp/work/httrack" -q
        else
            results+=("$(printf '%-34s skipped (not installed)' 'httrack -r3 -p0')")
            echo "${results[-1]}"
        fi
    fi
done

echo
printf '%-34s %6s %9s %9s\n' "tool" "pages" "seconds" "pages/s"
printf '%s\n' "${results[@]}"
printf '%s\n' "${ours_rows[@]}"
