#!/usr/bin/env bash
# Installs what RCAN Tools needs on Debian 12, builds it, then runs the analyser or the tests.
#   bash tools/setup-debian.sh run    build and start the analyser (virtual adapter if none is plugged in)
#   bash tools/setup-debian.sh test   build and run the whole test suite through CTest
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
build_dir=${RCAN_BUILD_DIR:-build}

packages=(
    build-essential cmake pkg-config
    qtbase5-dev libqt5serialport5-dev libqcustomplot-dev qttools5-dev qttools5-dev-tools
    libudev-dev xvfb xauth imagemagick fonts-wqy-microhei
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)"

case "$mode" in
test)
    ctest --test-dir "$build_dir" --output-on-failure
    ;;
run)
    exec bash tools/run-analyser.sh "$build_dir"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
