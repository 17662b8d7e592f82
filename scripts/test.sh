#!/usr/bin/env bash
# Installs what is missing, then runs every gate in turn and stops at the first that fails:
#   format      clang-format-14 over every tracked C++ file
#   layering    no #include points up the layers (scripts/check-layering.py)
#   build       the whole tree, warnings as errors (build/)
#   tests       every test, headless under Xvfb
#   sanitizers  an ASan+UBSan build (build-asan/) of the libraries and the tests that show no window
#   fuzz-replay every fuzz target over its kept corpus, in the sanitizer build
# `bash scripts/test.sh GATE...` runs only those gates (after the packages are in place).
# (Gate functions chain their steps with &&: errexit does not act inside a function run as a condition.)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Let clones in other folders share compiled objects.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
export QT_QPA_PLATFORM=offscreen
BUILD_DIR=${BUILD_DIR:-build}
ASAN_DIR=${ASAN_DIR:-build-asan}
XVFB=(xvfb-run -a -s "-screen 0 1280x1024x24")
# Leaks are reported by their own runs, not by every test; a failed UBSan check stops the program.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

gate_format() { bash scripts/check-format.sh; }
gate_layering() { python3 scripts/check-layering.py; }
gate_build() {
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIMO_TESTS=ON -DRIMO_WERROR=ON \
        -DRIMO_SANITIZE=OFF -DRIMO_FUZZ_REPLAY=OFF >/dev/null &&
        cmake --build "$BUILD_DIR"
}
gate_tests() { (cd "$BUILD_DIR" && "${XVFB[@]}" ctest --output-on-failure -j2 --timeout 900); }
configure_asan() {
    cmake -S . -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        -DRIMO_TESTS=ON -DRIMO_WERROR=ON -DRIMO_SANITIZE=ON -DRIMO_FUZZ_REPLAY=ON >/dev/null
}
gate_sanitizers() {
    configure_asan &&
        cmake --build "$ASAN_DIR" --target rimo_plain_tests &&
        (cd "$ASAN_DIR" && "${XVFB[@]}" ctest --output-on-failure -j2 --timeout 900 -L plain)
}
gate_fuzz-replay() {
    configure_asan &&
        cmake --build "$ASAN_DIR" --target rimo_fuzz_replays &&
        (cd "$ASAN_DIR" && ctest --output-on-failure -j2 --timeout 900 -L fuzz-replay)
}

gates=("$@")
[ ${#gates[@]} -eq 0 ] && gates=(format layering build tests sanitizers fuzz-replay)
summary=()
for gate in "${gates[@]}"; do
    if ! declare -F "gate_$gate" >/dev/null; then
        echo "unknown gate: $gate (format layering build tests sanitizers fuzz-replay)" >&2
        exit 2
    fi
    echo "=== gate $gate"
    start=$SECONDS
    if ! "gate_$gate"; then
        echo "=== gate $gate FAILED after $((SECONDS - start)) s"
        exit 1
    fi
    summary+=("$gate $((SECONDS - start)) s")
    echo "=== gate $gate passed in $((SECONDS - start)) s"
done
echo "=== all gates passed: ${summary[*]}"
