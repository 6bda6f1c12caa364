#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [SECONDS]   (default 60 per target)
# The seed corpora in fuzz/corpus/ are copied, so a run never changes them;
# a crash leaves its input in the run's work folder and fails the script.
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TEXTROVE_FUZZ_BUILD_DIR:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTEXTROVE_FUZZ=ON -DTEXTROVE_BUILD_GUI=OFF -DTEXTROVE_BUILD_TESTS=OFF >/dev/null
targets=$(sed -n 's/^textrove_fuzzer(\([a-z_]*\).*/\1/p' "$root/fuzz/CMakeLists.txt")
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for t in $targets; do
  name=${t%_fuzz}
  mkdir -p "$work/$name"
  cp -r "$root/fuzz/corpus/$name/." "$work/$name/" 2>/dev/null || true
  echo "fuzz: $t for ${seconds}s"
  if ! (cd "$work" && "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/$name" 2>"$work/$t.log"); then
    status=1
    tail -n 40 "$work/$t.log"
    mkdir -p "$build/crashes" && cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$build/crashes/" 2>/dev/null || true
    echo "fuzz: $t FAILED (inputs kept in $build/crashes)"
  else
    grep -E '^stat::number_of_executed_units|^Done' "$work/$t.log" | tr '\n' ' '; echo
  fi
done
exit $status
