#!/usr/bin/env bash
# Started with the target directory as its argument: after a search the words
# are marked; a right click on a hit line, then ファイルを開く(&O) and
# フォルダを開く(&F), hand the file's and the folder's exact bytes (the name is
# not valid UTF-8) to the opener (a fake one through TEXTROVE_OPENER).
E2E_NAME=e2e_open_file
source "$(dirname "$0")/lib.sh" "$@"
command -v convert >/dev/null 2>&1 || { echo "SKIP: convert is not installed" >&2; exit 77; }

TREE=$WORK/tree NAME=$'a b 日本\xff.txt' OPENED=$WORK/opened
mkdir -p "$TREE/sub dir"
for i in {1..80}; do echo "line $i with a needle in it"; done >"$TREE/sub dir/$NAME"
echo 'nothing here' >"$TREE/none.txt"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$OPENED" >"$WORK/opener"
chmod +x "$WORK/opener"
export TEXTROVE_OPENER=$WORK/opener

start_x
start_app "$TREE"
ini_is DefDir Directory "$TREE" || fail "the directory argument is not stored: $(ini_get DefDir Directory)"
set_conditions "" needle
run_search
sleep 0.5
import -window "$WIN" "$OUT/highlighted.png"
# The marks' background colour, solid under the text.
marked=$(convert "$OUT/highlighted.png" -fill black +opaque '#FFE040' -fill white -opaque '#FFE040' \
    -format '%[fx:round(mean*w*h)]' info:)
((marked > 200)) || fail "no word is marked in the hit lines ($marked pixels)"

# open_from_menu KEY N: a right click 60% down the result box (the first hit
# is its fifth line; 80 hit lines fill it), KEY picks, the opener's Nth call.
open_from_menu() {
    local before box_h n=$2 url
    read_geometry
    box_h=$(($(ini_get WindowSize Height) - 636 - 716 - 502))
    before=$(popup_count)
    xdotool mousemove $((WX + 1620 / TPP)) $((WY + MB + (996 + box_h * 6 / 10) / TPP)) sleep 0.1 click 3
    wait_for 5 "the context menu" more_windows_than "$before"
    xdotool sleep 0.2 key "$1"
    wait_for 10 "the opener's call #$n" eval '[[ -f $OPENED && $(wc -l <"$OPENED") -ge $n ]]'
    url=$(sed -n "${n}p" "$OPENED")
    url=${url#file://}
    printf '%b' "${url//%/\\x}" >"$WORK/got"
}
open_from_menu o 1
printf '%s' "$TREE/sub dir/$NAME" >"$WORK/want"
expect_same "$WORK/want" "$WORK/got" "the file asked for"
open_from_menu f 2
printf '%s' "$TREE/sub dir" >"$WORK/want"
expect_same "$WORK/want" "$WORK/got" "the folder asked for"
quit_app
