#!/usr/bin/env bash
# `cmake --install` into a temporary prefix lays out a desktop program; the
# installed textrove-search gives the built one's result, and the installed
# textrove opens its help document from <prefix>/share/textrove/.
#   install_test.sh <build dir> <source dir> <built textrove-search> <output root>
BUILD=${1:?build directory} SOURCE=${2:?source directory}
command -v desktop-file-validate >/dev/null || { echo "SKIP: desktop-file-validate is not installed" >&2; exit 77; }
E2E_NAME=install
source "$SOURCE/tests/e2e/lib.sh" "installed textrove" "${3:?built textrove-search}" "${4:?output root}"
PREFIX=$WORK/prefix APP=$WORK/prefix/bin/textrove
cmake --install "$BUILD" --prefix "$PREFIX" >"$OUT/install.log" || fail "cmake --install"

[[ -x $APP && -x $PREFIX/bin/textrove-search ]] || fail "the executables are not installed"
expect_same "$SOURCE/doc/Textrove.hlp" "$PREFIX/share/textrove/Textrove.hlp" "installed help document"
expect_same "$SOURCE/doc/textrove-search.1" "$PREFIX/share/man/man1/textrove-search.1" "installed manual page"
[[ -s $PREFIX/share/icons/hicolor/scalable/apps/textrove.svg ]] || fail "the icon is not installed"
[[ ! -e $PREFIX/bin/Textrove.hlp ]] || fail "the help document is installed beside the executables"
desktop=$PREFIX/share/applications/textrove.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Icon=textrove' "$desktop" || fail "the desktop entry names another icon"
grep -qx 'Exec=textrove %f' "$desktop" || fail "the desktop entry does not pass a dropped folder"

TREE=$WORK/tree
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" needle HAY STACK
CLI=$PREFIX/bin/textrove-search
expected_result "$WORK/installed" "$TREE" needle HAY STACK
expect_same "$WORK/expected" "$WORK/installed" "installed textrove-search result"
"$CLI" "$TREE" "" >/dev/null 2>&1
[[ $? == 2 ]] || fail "installed textrove-search: an empty word is not exit status 2"

# ﾍﾙﾌﾟ > ﾄﾋﾟｯｸの検索: without the document a message box would show instead.
start_x
start_app
menu_command h h
wait_for 10 "the help window" visible 'Textrove ヘルプ'
