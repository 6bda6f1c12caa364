#!/usr/bin/env bash
# Fails (exit 1) when a tracked C++ file under src/, tests/, bench/ or fuzz/
# does not follow .clang-format, and names each such file with the first lines that
# differ. Exit 77 (skipped) when clang-format-14 or the git checkout is missing.
#
# usage: scripts/check_format.sh [repository root]
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 2
fmt=$(command -v clang-format-14 || true)
[[ -n $fmt ]] || { echo "SKIP: clang-format-14 is not installed" >&2; exit 77; }
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "SKIP: not a git checkout" >&2; exit 77; }
bad=0
while IFS= read -r -d '' f; do
    if ! out=$("$fmt" --style=file "$f" | diff -u "$f" - | head -20); then
        echo "$f does not follow .clang-format:"
        echo "$out"
        bad=1
    fi
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
             'fuzz/*.cpp' 'fuzz/*.h')
[[ $bad -eq 0 ]] && echo "every C++ file follows .clang-format"
exit $bad
