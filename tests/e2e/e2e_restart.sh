#!/usr/bin/env bash
# The directory, the words and the window geometry come back at the next
# start: from the settings file, on screen, and in what a search uses.
E2E_NAME=e2e_restart
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" needle HAY STACK

start_x
start_app
set_conditions "$TREE" needle HAY STACK

# There is no window manager to drag the frame: move and resize the window
# the way one would (a move alone stores nothing; the resize stores both).
NX=100 NY=80 NW=640 NH=420
xdotool windowmove "$WIN" $NX $NY
sleep 0.3
xdotool windowsize "$WIN" $NW $NH
want_w=$((NW * TPP + 150))
want_h=$(((NH - MB) * TPP + 716))
stored_geometry() {
    ini_is WindowSize Width "$want_w" && ini_is WindowSize Height "$want_h" &&
        ini_is WindowSize Left $((NX * TPP)) && ini_is WindowSize Top $((NY * TPP))
}
wait_for 10 "the new geometry in the settings file (Width $want_w, Height $want_h)" stored_geometry
quit_app

# What the first run left behind.
ini_is DefDir Directory "$TREE" || fail "DefDir/Directory is '$(ini_get DefDir Directory)'"
expect_words=(NEEDLE HAY STACK "" "" "" "" "" "" "")
for i in {1..10}; do
    ini_is DefList "ListName$i" "${expect_words[i - 1]}" || fail "ListName$i is '$(ini_get DefList "ListName$i")'"
done
ini_is WindowSize MinMaxFlag 0 || fail "MinMaxFlag is '$(ini_get WindowSize MinMaxFlag)'"
cp "$INI" "$OUT/Textroveini.after-first-run"
log "settings stored: $(tr '\n' ' ' <"$INI")"

# Second run: the window comes back where it was, at the same size.
start_app
at_stored_place() { read_geometry; [[ $WX == "$NX" && $WY == "$NY" && $WW == "$NW" && $WH == "$NH" ]]; }
wait_for 10 "the window at ${NX},${NY} ${NW}x${NH}" at_stored_place
log "window restored at ${WX},${WY} ${WW}x${WH}"
ini_is DefDir Directory "$TREE" || fail "the second start changed DefDir/Directory"

# The restored directory and words are what the search uses.
run_search
import -window "$WIN" "$OUT/restored_window.png"
select_all
mkdir -p "$WORK/saved"
open_save_dialog
type_save_name "$WORK/saved/restored.txt"
wait_for 10 "the saved file" test -f "$WORK/saved/restored.txt"
expect_same "$WORK/expected" "$WORK/saved/restored.txt" "result after the restart"
log "the search after the restart used the restored directory and words"

quit_app
