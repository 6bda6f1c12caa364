#!/usr/bin/env bash
# Type a directory and three words, move and resize the window, search with
# alt+s, select all and save to a new name: the file holds the result text +
# CR LF. Saving over an existing file asks "上書き確認": No leaves the file as it
# was, Yes replaces it. At the next start the directory, the words and the
# window's bounds come back, and a search uses them.
E2E_NAME=e2e_search_save
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree SAVED=$WORK/saved
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" needle HAY STACK
grep -q '検索文字は、  NEEDLE  HAY  STACK' "$WORK/expected" || fail "unexpected header from textrove-search"
mkdir -p "$SAVED"
printf 'old content\r\n' | tee "$WORK/old" >"$SAVED/old.txt"
inode=$(stat -c %i "$SAVED/old.txt")

start_x
start_app
set_conditions "$TREE" needle HAY STACK
# Without a window manager: a move alone stores nothing, the resize stores both.
NX=100 NY=80 NW=640 NH=420
xdotool windowmove "$WIN" $NX $NY sleep 0.3 windowsize "$WIN" $NW $NH
stored_bounds() {
    ini_is WindowSize Width $((NW * TPP + 150)) && ini_is WindowSize Height $(((NH - MB) * TPP + 716)) &&
        ini_is WindowSize Left $((NX * TPP)) && ini_is WindowSize Top $((NY * TPP))
}
wait_for 10 "the new bounds in the settings file" stored_bounds

run_search
select_all
save_as "$SAVED/result" "$WORK/expected" "saved result"     # no extension: the name is used as typed

save_as "$SAVED/old.txt"
wait_for 10 "the overwrite question" visible '上書き確認'
xdotool key Escape          # the question's No answers Escape
wait_for 10 "the overwrite question to close" not_visible '上書き確認'
sleep 0.5
expect_same "$WORK/old" "$SAVED/old.txt" "file after answering No"
[[ $(stat -c %i "$SAVED/old.txt") == "$inode" ]] || fail "the file was replaced after answering No"
save_as "$SAVED/old.txt"
wait_for 10 "the overwrite question" visible '上書き確認'
xdotool key Return          # Yes is the default button
replaced() { [[ $(stat -c %i "$SAVED/old.txt") != "$inode" ]]; }
wait_for 10 "the file to be replaced" replaced
expect_same "$WORK/expected" "$SAVED/old.txt" "file after answering Yes"
[[ "$(ls -A "$SAVED" | tr '\n' ' ')" == "old.txt result " ]] || fail "the saves left other files: $(ls -A "$SAVED")"
quit_app

ini_is DefDir Directory "$TREE" || fail "DefDir/Directory is '$(ini_get DefDir Directory)'"
words=(NEEDLE HAY STACK "" "" "" "" "" "" "")
for i in {1..10}; do ini_is DefList ListName$i "${words[i - 1]}" || fail "ListName$i is '$(ini_get DefList ListName$i)'"; done
ini_is WindowSize MinMaxFlag 0 || fail "MinMaxFlag is '$(ini_get WindowSize MinMaxFlag)'"

start_app
at_bounds() { read_geometry && [[ $WX,$WY,$WW,$WH == "$NX,$NY,$NW,$NH" ]]; }
wait_for 10 "the window at ${NX},${NY} ${NW}x${NH}" at_bounds
ini_is DefDir Directory "$TREE" || fail "the second start changed DefDir/Directory"
run_search
select_all
save_as "$SAVED/restored.txt" "$WORK/expected" "result after the restart"
quit_app
