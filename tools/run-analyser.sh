#!/usr/bin/env bash
# Starts the analyser from a build folder; without a plugged-in adapter it runs on the virtual one.
set -euo pipefail
build_dir=${1:-build}
args=()
adapter=no
for dev in /sys/class/tty/*/device; do
    [ -e "$dev" ] || continue
    # CDC ports hang below the USB interface, USB-serial converters one level further down.
    for id_file in "$dev/../idProduct" "$dev/../../idProduct"; do
        id=$(cat "$id_file" 2>/dev/null || true)
        [ "$id" = "5722" ] && adapter=yes
    done
done
[ "$adapter" = yes ] || args+=(--simulate)
# Without a display (a bare server), show the window on a virtual one.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$build_dir/bin/rcan-tools" "${args[@]}"
fi
exec "$build_dir/bin/rcan-tools" "${args[@]}"
