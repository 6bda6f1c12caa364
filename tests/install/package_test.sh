#!/usr/bin/env bash
# `cpack -G DEB` builds the Debian package: files under /usr, library
# dependencies from dpkg-shlibdeps, section utils.   package_test.sh <build dir>
set -uo pipefail
for tool in dpkg-shlibdeps file; do     # CPack needs both for the dependencies
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (dpkg-dev, file)" >&2; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
OUT=$(mktemp -d "${TMPDIR:-/tmp}/textrove-deb.XXXXXX")
trap 'rm -rf "$OUT"' EXIT
cpack -G DEB -B "$OUT" --config "${1:?build directory}/CPackConfig.cmake" >"$OUT/cpack.log" 2>&1 ||
    { cat "$OUT/cpack.log" >&2; fail "cpack -G DEB"; }
debs=("$OUT"/textrove_*.deb)
deb=${debs[0]}
[[ ${#debs[@]} == 1 && -f $deb ]] || fail "no textrove_*.deb: $(ls "$OUT")"

[[ $(dpkg-deb -f "$deb" Package),$(dpkg-deb -f "$deb" Section) == textrove,utils ]] || fail "package name or section"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libicu libstdc++6 libc6; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in bin/textrove bin/textrove-search share/textrove/Textrove.hlp share/applications/textrove.desktop \
         share/icons/hicolor/scalable/apps/textrove.svg share/man/man1/textrove-search.1; do
    grep -qx -- "./usr/$f" <<<"$contents" || fail "/usr/$f is not in the package"
done
echo "$(basename "$deb"): Depends: $depends"
