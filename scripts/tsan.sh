#!/usr/bin/env bash
# Builds the suites that run a search on a worker thread (the engine with its
# reading thread, the command-line companion they start, the window suites
# with the search dialog, the torture tree) with ThreadSanitizer and runs
# them. Any report in the program's code fails the run; reports that lie
# wholly inside the distribution's uninstrumented Qt and GLib are suppressed
# (scripts/tsan.supp says why each entry is safe).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TEXTROVE_TSAN_BUILD_DIR:-$root/build-tsan}
targets=(test_engine test_gui test_torture)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DTEXTROVE_TSAN=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# halt_on_error: the first report ends the test process with `exitcode`, so
# the test fails even where its own checks would pass.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:report_signal_unsafe=1:second_deadlock_stack=1\
:suppressions=$root/scripts/tsan.supp:print_suppressions=0"
cd "$build"
# Only the targets above are built; the other suites show up as *_NOT_BUILT
# placeholders, the end-to-end, install and package tests drive the Release
# program, and the include check runs once in setup.sh test.
ctest --output-on-failure --no-tests=error -j "$(nproc)" -LE 'e2e|install|lint' -E '_NOT_BUILT$'
