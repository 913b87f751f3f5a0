#!/usr/bin/env bash
# Median round trip of the SNTP client's DateTime() over 50 queries, and its answer minus the server's clock, beside
# the same figures for Debian's ntpdig asking the same server. The server is a chronyd started here on 127.0.0.1:123
# with its own configuration: it serves this machine's clock as stratum 1 and, run with -x, never adjusts it.
# Needs root (port 123). Usage: bench/sntp_bench.sh [BUILD_DIR]   (default: build; SNTP_QUERIES=50)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
queries=${SNTP_QUERIES:-50}
probe=$build/bin/sntp_probe
[ -x "$probe" ] || { echo "no $probe: cmake --build $build --target sntp_probe" >&2; exit 1; }
"$root/scripts/deps.sh" bench

# Local port 123 (hex 007B) taken by another socket, a time daemon of this machine for instance.
if awk 'NR > 1 && $2 ~ /:007B$/ { found = 1 } END { exit !found }' /proc/net/udp /proc/net/udp6 2> /dev/null; then
    echo "something already listens on UDP port 123; stop it first" >&2
    exit 1
fi

work=$(mktemp -d)
chrony_pid=
cleanup()
{
    if [ -n "$chrony_pid" ]; then
        kill "$chrony_pid" 2>/dev/null || true
        wait "$chrony_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cat > "$work/chrony.conf" <<CONF
local stratum 1
allow 127.0.0.1
bindaddress 127.0.0.1
port 123
cmdport 0
pidfile $work/chronyd.pid
driftfile $work/drift
CONF
chronyd -x -d -u root -f "$work/chrony.conf" > "$work/chronyd.log" 2>&1 &
chrony_pid=$!
for _ in $(seq 50); do
    ntpdig -t 1 127.0.0.1 > /dev/null 2>&1 && break
    if [ ! -d "/proc/$chrony_pid" ] || [ "$(awk '{print $3}' "/proc/$chrony_pid/stat")" = Z ]; then
        cat "$work/chronyd.log" >&2
        exit 1
    fi
    sleep 0.1
done

"$probe" 127.0.0.1 "$queries" > "$work/ours.txt"

# ntpdig -d prints its four timestamps (POSIX seconds): t1 sent, t2 server received, t3 server sent, t4 received.
for _ in $(seq "$queries"); do
    start=$(date +%s.%N)
    ntpdig -d -t 1 127.0.0.1 2> /dev/null > "$work/one.txt"
    end=$(date +%s.%N)
    awk -v start="$start" -v end="$end" '
        /^org t1: [0-9.]+ rec/ { t1 = $3 }
        /^xmt t3: [0-9.]+ dst/ { t3 = $3; t4 = $6 }
        END { if (t1 == "") exit 1; printf "%.3f %.3f %.3f\n", (t4 - t1) * 1000, (t3 - t4) * 1000, (end - start) * 1000 }
    ' "$work/one.txt" >> "$work/ntpdig.txt"
done

median()
{
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
worst()
{
    awk '{ a = $1 < 0 ? -$1 : $1; if (a > m) m = a } END { printf "%.3f\n", m }'
}

echo "SNTP against chronyd on 127.0.0.1:123, $queries queries each (milliseconds)"
printf '%-34s %12s %16s %16s\n' "client" "round trip" "answer-server" "worst |a-s|"
printf '%-34s %12s %16s %16s\n' "Tocsinet SntpClient::DateTime()" \
    "$(cut -d' ' -f1 "$work/ours.txt" | median)" "$(cut -d' ' -f2 "$work/ours.txt" | median)" \
    "$(cut -d' ' -f2 "$work/ours.txt" | worst)"
printf '%-34s %12s %16s %16s\n' "ntpdig (t4-t1, t3-t4)" \
    "$(cut -d' ' -f1 "$work/ntpdig.txt" | median)" "$(cut -d' ' -f2 "$work/ntpdig.txt" | median)" \
    "$(cut -d' ' -f2 "$work/ntpdig.txt" | worst)"
printf '%-34s %12s\n' "ntpdig, whole process" "$(cut -d' ' -f3 "$work/ntpdig.txt" | median)"
echo "answer-server: the answer minus this machine's clock, which chronyd serves, when the answer is back."
