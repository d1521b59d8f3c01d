#!/usr/bin/env bash
# The analyser's CPU at a given frame rate, beside the least any reader of the same stream needs:
# two virtual adapters (rcan-sim, separate processes) stream the same traffic, one to bench-live
# (the whole program, real-time log on), one to pty-reader, both at the same time.
#
#   tools/bench-live.sh [build folder] [frames/s per channel|link|idle] [seconds] [bench-live options]
#     link: both channels as fast as the 460800 baud link carries (about 2,304 frames/s in all)
set -euo pipefail
build=${1:-build}
rate=${2:-link}
seconds=${3:-30}
shift $(($# < 3 ? $# : 3))
sim_args=(--no-loopback)
live_args=(--seconds "$seconds")
case "$rate" in
link) sim_args+=(--rate 1152 --link-limit) ;;
idle) sim_args+=(--rate 0) live_args+=(--idle) ;;
*) sim_args+=(--rate "$rate" --no-bus-limit) ;;
esac
fifo_dir=$(mktemp -d)
trap 'kill $sim1 $sim2 2>/dev/null || true; rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/in1" "$fifo_dir/in2"
sleep 1000000 >"$fifo_dir/in1" &
hold1=$!
sleep 1000000 >"$fifo_dir/in2" &
hold2=$!
trap 'kill $sim1 $sim2 $hold1 $hold2 2>/dev/null || true; rm -rf "$fifo_dir"' EXIT
"$build/bin/rcan-sim" "${sim_args[@]}" --stats <"$fifo_dir/in1" >"$fifo_dir/port1" 2>"$fifo_dir/stats1" &
sim1=$!
"$build/bin/rcan-sim" "${sim_args[@]}" --stats <"$fifo_dir/in2" >"$fifo_dir/port2" 2>"$fifo_dir/stats2" &
sim2=$!
for f in port1 port2; do
    for _ in $(seq 50); do [ -s "$fifo_dir/$f" ] && break; sleep 0.1; done
done
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bin/bench-live" "$(head -1 "$fifo_dir/port1")" "${live_args[@]}" "$@" &
live=$!
# The reader starts when the program has settled, so both measure the same seconds.
sleep 7
# Each adapter counts, once a second, the frames it had no room for.
overrun() { grep -o 'overrun [0-9]*' "$fifo_dir/stats$1" | tail -1 | cut -d' ' -f2; }
if [ "$rate" != idle ]; then
    overrun_before=("$(overrun 1)" "$(overrun 2)")
    "$build/bin/pty-reader" "$(head -1 "$fifo_dir/port2")" "$seconds"
    overrun_after=("$(overrun 1)" "$(overrun 2)")
fi
wait $live
if [ -n "${overrun_before:-}" ]; then
    # At the link's own pace the adapter makes a little more than the link carries, and drops
    # that share whatever the program does. At higher rates a drop means a reader fell behind:
    # when pty-reader's adapter drops in the same run, the machine stalled them both.
    echo "frames the adapter dropped while measured: $((overrun_after[0] - overrun_before[0]))" \
        "(pty-reader's adapter: $((overrun_after[1] - overrun_before[1])))"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
