#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it (end-to-end and install tests excepted: they drive and package the
# Release program; the include check, which builds nothing, runs once in
# setup.sh test). Any sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TEXTROVE_ASAN_BUILD_DIR:-$root/build-asan}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DTEXTROVE_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
cd "$build"
ctest --output-on-failure --no-tests=error -j "$(nproc)" -LE 'e2e|install|lint'
