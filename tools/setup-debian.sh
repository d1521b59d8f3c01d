#!/usr/bin/env bash
# Installs what RCAN Tools needs on Debian 12, builds it, then runs the analyser or the tests.
#   bash tools/setup-debian.sh run    build and start the analyser (virtual adapter if none is plugged in)
#   bash tools/setup-debian.sh test   build and run the whole test suite through CTest, then again
#                                     built with AddressSanitizer and UndefinedBehaviorSanitizer,
#                                     then run each libFuzzer target briefly over its corpus
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
build_dir=${RCAN_BUILD_DIR:-build}

packages=(
    build-essential cmake pkg-config
    qtbase5-dev libqt5serialport5-dev libqcustomplot-dev qttools5-dev qttools5-dev-tools
    libudev-dev xvfb xauth imagemagick fonts-wqy-microhei qttranslations5-l10n file
    clang-14 libclang-rt-14-dev python3-can python3-canmatrix tshark
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

    # The same suite built with the address and undefined-behaviour checks; any report ends the
    # run with a failure. Qt's own allocations that live until exit are listed in lsan.supp.
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0
    sanitize="-O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S . -B "$build_dir-asan" -DCMAKE_BUILD_TYPE=Debug -DRCAN_BUILD_TOOLS=OFF \
        -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
    cmake --build "$build_dir-asan" -j"$(nproc)"
    ctest --test-dir "$build_dir-asan" --output-on-failure

    # Each fuzz target gets a short run over its committed corpus; new inputs go to a scratch
    # folder so the tree stays as it is.
    cmake -S . -B "$build_dir-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
        -DRCAN_FUZZ=ON -DRCAN_BUILD_TESTS=OFF -DRCAN_BUILD_TOOLS=OFF
    cmake --build "$build_dir-fuzz" -j"$(nproc)" --target fuzz-framing-codec fuzz-adapter-device \
        fuzz-log-readers fuzz-dbc-reader
    for target in framing-codec adapter-device log-readers dbc-reader; do
        scratch=$(mktemp -d)
        "$build_dir-fuzz/bin/fuzz-$target" -max_total_time="${RCAN_FUZZ_SECONDS:-45}" \
            -print_final_stats=1 "$scratch" "tests/fuzz/corpus/$target"
        rm -rf "$scratch"
    done

    # Any failure above has already ended the script; say what ran, in one closing line.
    suite=$(ctest --test-dir "$build_dir" -N | awk '/Total Tests:/ {print $3}')
    echo "${suite} test programs, plain and sanitized, and 4 fuzz targets"
    echo "summary: $((2 * suite + 4)) passed, 0 failed"
    ;;
run)
    exec bash tools/run-analyser.sh "$build_dir"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
