#!/usr/bin/env bash
# The installed tree: `cmake --install` into a temporary prefix lays out bin/
# and share/ as a desktop program; the installed textrove-search gives the
# built one's result; the installed textrove, started in a private Xvfb, finds
# its help document in <prefix>/share/textrove/ (none lies beside it).
#   install_test.sh <build dir> <source dir> <built textrove-search> <output root>
# Exit status: 0 pass, 1 fail, 77 skipped because a tool is missing.
BUILD=${1:?build directory}
SOURCE=${2:?source directory}
BUILT_CLI=${3:?built textrove-search}
OUTROOT=${4:?output root}
command -v desktop-file-validate >/dev/null || { echo "SKIP: desktop-file-validate is not installed" >&2; exit 77; }

# The e2e harness (Xvfb, xdotool, clean-up) runs the installed program.
E2E_NAME=install
source "$SOURCE/tests/e2e/lib.sh" "installed textrove" "$BUILT_CLI" "$OUTROOT"
PREFIX=$WORK/prefix
APP=$PREFIX/bin/textrove
cmake --install "$BUILD" --prefix "$PREFIX" >"$OUT/install.log" || fail "cmake --install"

for f in bin/textrove bin/textrove-search; do
    [[ -x $PREFIX/$f ]] || fail "$f is not installed"
done
expect_same "$SOURCE/doc/Textrove.hlp" "$PREFIX/share/textrove/Textrove.hlp" "installed help document"
expect_same "$SOURCE/doc/textrove-search.1" "$PREFIX/share/man/man1/textrove-search.1" "installed manual page"
[[ -s $PREFIX/share/icons/hicolor/scalable/apps/textrove.svg ]] || fail "the icon is not installed"
[[ ! -e $PREFIX/bin/Textrove.hlp ]] || fail "the help document is installed beside the executables"
desktop-file-validate "$PREFIX/share/applications/textrove.desktop" || fail "desktop-file-validate"
grep -qx 'Icon=textrove' "$PREFIX/share/applications/textrove.desktop" || fail "the desktop entry names another icon"
grep -qx 'Exec=textrove %f' "$PREFIX/share/applications/textrove.desktop" || fail "the desktop entry does not pass a dropped folder"
log "installed tree laid out"

# The installed companion: the same result as the built one, the same usage error.
TREE=$WORK/tree
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" needle HAY STACK
"$PREFIX/bin/textrove-search" "$TREE" needle HAY STACK >"$WORK/installed" || fail "installed textrove-search failed"
printf '\r\n' >>"$WORK/installed"
expect_same "$WORK/expected" "$WORK/installed" "installed textrove-search result"
"$PREFIX/bin/textrove-search" "$TREE" "" >/dev/null 2>&1
[[ $? == 2 ]] || fail "installed textrove-search: an empty word is not exit status 2"
log "installed textrove-search matches the built one"

# The installed program opens its help window from ﾍﾙﾌﾟ > ﾄﾋﾟｯｸの検索; without
# the document it would show a message box instead.
start_x
start_app
menu_command h h
wait_for 10 "the help window" visible 'Textrove ヘルプ'
import -window root "$OUT/help.png"
log "the installed program found its help document"
