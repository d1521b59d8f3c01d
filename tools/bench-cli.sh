#!/usr/bin/env bash
# rcan-cli capture's CPU and losses beside the least any reader of the same stream needs: two
# virtual adapters (rcan-sim, separate processes) stream the same traffic, one to
# `rcan-cli capture` writing a candump file, one to pty-reader, both at the same time. Every
# generated frame carries its channel's count, so the file itself shows whether one was lost.
#
#   tools/bench-cli.sh [build folder] [frames/s per channel|link] [seconds]
#     link: both channels as fast as the 460800 baud link carries (about 2,304 frames/s in all)
set -euo pipefail
build=${1:-build}
rate=${2:-link}
seconds=${3:-30}
sim_args=(--no-loopback --sequence)
case "$rate" in
link) sim_args+=(--rate 1152 --link-limit) ;;
*) sim_args+=(--rate "$rate" --no-bus-limit) ;;
esac
work=$(mktemp -d)
mkfifo "$work/in1" "$work/in2"
sleep 1000000 >"$work/in1" &
hold1=$!
sleep 1000000 >"$work/in2" &
hold2=$!
"$build/bin/rcan-sim" "${sim_args[@]}" --stats <"$work/in1" >"$work/port1" 2>"$work/stats1" &
sim1=$!
"$build/bin/rcan-sim" "${sim_args[@]}" --stats <"$work/in2" >"$work/port2" 2>"$work/stats2" &
sim2=$!
trap 'kill $sim1 $sim2 $hold1 $hold2 2>/dev/null || true; rm -rf "$work"' EXIT
for f in port1 port2; do
    for _ in $(seq 50); do [ -s "$work/$f" ] && break; sleep 0.1; done
done
overrun() { grep -o 'overrun [0-9]*' "$work/stats$1" | tail -1 | cut -d' ' -f2; }
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/time -f "rcan-cli: %U s user, %S s system, %M kB" \
    "$build/bin/rcan-cli" capture -p "$(head -1 "$work/port1")" -b 1=1000k,2=1000k \
    --duration "$seconds" -o "$work/capture.log" 2>"$work/cli.err" &
cli=$!
"$build/bin/pty-reader" "$(head -1 "$work/port2")" "$seconds"
wait $cli || { cat "$work/cli.err"; exit 1; }
cat "$work/cli.err"
sleep 1.2
echo "adapter overruns: rcan-cli's $(overrun 1), pty-reader's $(overrun 2)"
# Each channel's counts must run 0, 1, 2... without a gap: the 8 data bytes, little-endian.
python3 - "$work/capture.log" <<'PY'
import sys
expected, total, gaps = {}, 0, 0
with open(sys.argv[1]) as log:
    for line in log:
        fields = line.split()
        channel, data = fields[1], fields[2].split("#")[1]
        count = int.from_bytes(bytes.fromhex(data), "little")
        if count != expected.get(channel, 0):
            gaps += 1
            if gaps < 4:
                print(f"gap on {channel}: {count} where {expected.get(channel, 0)} was due")
        expected[channel] = count + 1
        total += 1
print(f"frames in the file: {total}, gaps: {gaps}")
PY
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
