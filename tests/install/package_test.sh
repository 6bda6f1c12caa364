#!/usr/bin/env bash
# `cpack -G DEB` builds the Debian package: files under /usr, library
# dependencies from dpkg-shlibdeps, section utils.
#   package_test.sh <build dir>
# Exit status: 0 pass, 1 fail, 77 skipped because dpkg-shlibdeps or file
# (which CPack needs for the dependencies) is missing.
set -uo pipefail
BUILD=${1:?build directory}
for tool in dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (dpkg-dev, file)" >&2; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }

OUT=$(mktemp -d "${TMPDIR:-/tmp}/textrove-deb.XXXXXX")
trap 'rm -rf "$OUT"' EXIT
cpack -G DEB -B "$OUT" --config "$BUILD/CPackConfig.cmake" >"$OUT/cpack.log" 2>&1 || { cat "$OUT/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$OUT"/textrove_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "no textrove_*.deb: $(ls "$OUT")"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == textrove ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Section) == utils ]] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libicu libstdc++6 libc6; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/textrove ./usr/bin/textrove-search ./usr/share/textrove/Textrove.hlp \
         ./usr/share/applications/textrove.desktop ./usr/share/icons/hicolor/scalable/apps/textrove.svg \
         ./usr/share/man/man1/textrove-search.1; do
    grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
done
echo "$(basename "$deb"): Depends: $depends"
