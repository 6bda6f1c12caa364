#!/usr/bin/env bash
# Starts with the target directory as its argument, searches, right-clicks a
# hit line and picks ファイルを開く(&O), then フォルダを開く(&F): the opener
# (a fake one through TEXTROVE_OPENER) must get the file's and the folder's
# exact bytes, though the name is not valid UTF-8. The words are marked.
E2E_NAME=e2e_open_file
source "$(dirname "$0")/lib.sh" "$@"
command -v convert >/dev/null 2>&1 || { echo "SKIP: convert is not installed" >&2; exit 77; }

TREE=$WORK/tree
NAME=$'a b 日本\xff.txt'
mkdir -p "$TREE/sub dir"
for i in $(seq 1 80); do printf 'line %d with a needle in it\n' "$i"; done >"$TREE/sub dir/$NAME"
printf 'nothing here\n' >"$TREE/none.txt"

OPENED=$WORK/opened
cat >"$WORK/opener" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$OPENED"
EOF
chmod +x "$WORK/opener"
export TEXTROVE_OPENER=$WORK/opener

start_x
start_app "$TREE"
ini_is DefDir Directory "$TREE" || fail "the directory argument is not stored: $(ini_get DefDir Directory)"
add_word needle
run_search
sleep 0.5
import -window "$WIN" "$OUT/highlighted.png"
# The marks' background colour, solid under the text.
marked=$(convert "$OUT/highlighted.png" -fill black +opaque '#FFE040' -fill white -opaque '#FFE040' \
    -format '%[fx:round(mean*w*h)]' info:)
log "marked pixels: $marked"
((marked > 200)) || fail "no word is marked in the hit lines ($marked pixels)"

# A point of a hit line: 60% down the result text box (the first hit is the
# fifth line; 80 hit lines fill the box).
right_click_hit_line() {
    read_geometry
    local h box_h x y
    h=$(ini_get WindowSize Height)
    box_h=$(awk -v h="$h" 'BEGIN{printf "%d", h - 636 - 716 - 502}')
    x=$(awk -v w="$WX" -v p="$TPP" 'BEGIN{printf "%d", w + (120 + 1500) / p}')
    y=$(awk -v w="$WY" -v m="$MB" -v b="$box_h" -v p="$TPP" 'BEGIN{printf "%d", w + m + (996 + 0.6 * b) / p}')
    local before
    before=$(popup_count)
    xdotool mousemove "$x" "$y"
    sleep 0.1
    xdotool click 3
    wait_for 5 "the context menu" more_windows_than "$before"
    sleep 0.2
}
opened_lines() { [[ -f $OPENED ]] && wc -l <"$OPENED" || echo 0; }
opened_at_least() { (($(opened_lines) >= $1)); }
# The bytes of the path in a file:// URL.
url_path() { local u=${1#file://}; printf '%b' "${u//%/\\x}"; }

right_click_hit_line
import -window root "$OUT/context_menu.png"
xdotool key o
wait_for 10 "the opener to be asked for the file" opened_at_least 1
right_click_hit_line
xdotool key f
wait_for 10 "the opener to be asked for the folder" opened_at_least 2

url_path "$(sed -n 1p "$OPENED")" >"$WORK/got_file"
printf '%s' "$TREE/sub dir/$NAME" >"$WORK/want_file"
expect_same "$WORK/want_file" "$WORK/got_file" "the file asked for"
url_path "$(sed -n 2p "$OPENED")" >"$WORK/got_folder"
printf '%s' "$TREE/sub dir" >"$WORK/want_folder"
expect_same "$WORK/want_folder" "$WORK/got_folder" "the folder asked for"
log "opener asked for $(sed -n 1p "$OPENED") and $(sed -n 2p "$OPENED")"

quit_app
