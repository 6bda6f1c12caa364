#!/usr/bin/env bash
# Under a window manager (openbox) the frame opens exactly at the stored Left
# and Top with the stored size, and the settings file stays as it was when
# nothing was moved: first start, plain restarts, a resize, maximize and
# restore, a maximized start, a position off the screen. The search dialog
# offers no window buttons and no close action.
E2E_NAME=e2e_wm_geometry
WM=${WM:-openbox}
source "$(dirname "$0")/lib.sh" "$@"

SUMMARY=$OUT/summary.txt
: >"$SUMMARY"

stored() { printf '%s' "$(ini_get WindowSize "$1" 2>/dev/null)"; }

# Starts the program and waits for its window; openbox activates it itself.
launch() {
    "$APP" >>"$OUT/textrove.log" 2>&1 &
    APP_PID=$!
    wait_for 20 "the main window" visible Textrove
    WIN=$(window_id Textrove)
}

maximized() { xprop -id "$WIN" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
not_maximized() { ! maximized; }

# The frame's corner and the area below the menu bar agree with the file
# (Left, Top, Width = area + 150, Height = area + 716 twips).
at_stored() {
    read_geometry || return 1
    [[ $(stored Left) == $((FX * TPP)) && $(stored Top) == $((FY * TPP)) &&
       $(stored Width) == $((WW * TPP + 150)) && $(stored Height) == $(((WH - MB) * TPP + 716)) ]]
}

# note FLOW: one line of the summary, the stored and the observed frame.
note() {
    read_geometry
    local line
    line=$(printf '%-26s stored L,T %s,%s W,H %s,%s flag %s | frame %d,%d (%d,%d twips) area %dx%d (W,H %d,%d)' \
        "$1" "$(stored Left)" "$(stored Top)" "$(stored Width)" "$(stored Height)" "$(stored MinMaxFlag)" \
        "$FX" "$FY" $((FX * TPP)) $((FY * TPP)) "$WW" $((WH - MB)) $((WW * TPP + 150)) $(((WH - MB) * TPP + 716)))
    echo "$line" >>"$SUMMARY"
    log "$line"
}

# expect_placed FLOW: the frame settles at the stored place and size.
expect_placed() {
    wait_for 10 "$1: the frame at the stored Left/Top and size" at_stored
    note "$1"
}

# Long enough for the store that follows the window manager's last event.
settle() { sleep 0.6; }

# A double click on the title bar toggles maximization in openbox.
toggle_maximized() {
    read_geometry
    xdotool mousemove $((FX + FW / 2)) $(((FY + WY) / 2)) click --repeat 2 --delay 60 1
}

set_window_size() {
    local key
    for key in Top Left Width Height MinMaxFlag; do
        [[ -n ${!key:-} ]] || continue
        awk -v k="$key" -v v="${!key}" '
            /^\[/ { sec = tolower($0) }
            sec == "[windowsize]" && tolower(substr($0, 1, length(k) + 1)) == tolower(k) "=" { print k "=" v; next }
            { print }' "$INI" >"$INI.new" && mv "$INI.new" "$INI"
    done
}

start_x

# First start: the design size at the screen's top-left corner.
launch
wait_for 10 "the first start's geometry in the file" ini_has WindowSize Height
MB=$(( $(read_geometry; echo "$WH") - 3900 / TPP ))
((MB > 0 && MB < 80)) || fail "menu bar height ${MB}px is implausible"
expect_placed "first start"
[[ $(stored Left),$(stored Top),$(stored Width),$(stored Height),$(stored MinMaxFlag) == 0,0,7350,4616,0 ]] ||
    fail "the first start stored $(tr '\n' ' ' <"$INI")"
quit_app

# restarts N FLOW: N starts, each at the stored place, the file unchanged.
restarts() {
    local n
    cp "$INI" "$WORK/before"
    for ((n = 1; n <= $1; n++)); do
        launch
        expect_placed "$2 #$n"
        settle
        expect_same "$WORK/before" "$INI" "$2 #$n: the settings file"
        quit_app
    done
}

Top=3000 Left=3000 Width=9150 Height=6116 MinMaxFlag=0 set_window_size
restarts 6 "plain restart"

# A resize (the window manager keeps the frame's corner), then restarts.
launch
expect_placed "before the resize"
xdotool windowsize "$WIN" 640 420
resized() { at_stored && [[ $WW == 640 && $WH == 420 ]]; }
wait_for 10 "the resized bounds in the file" resized
note "resized"
quit_app
restarts 6 "restart after resize"

# Maximize, restore, restart: the bounds in the file never change.
cp "$INI" "$WORK/normal"
launch
expect_placed "before maximize"
toggle_maximized
wait_for 10 "the window maximized" maximized
wait_for 10 "MinMaxFlag 2" ini_is WindowSize MinMaxFlag 2
note "maximized"
toggle_maximized
wait_for 10 "the window restored" not_maximized
wait_for 10 "MinMaxFlag 0" ini_is WindowSize MinMaxFlag 0
expect_placed "restored"
settle
expect_same "$WORK/normal" "$INI" "after maximize and restore"
quit_app
restarts 1 "restart after restore"

# A maximized start, then restore: back to the stored bounds.
MinMaxFlag=2 set_window_size
cp "$INI" "$WORK/maximized"
launch
wait_for 10 "the window maximized at start" maximized
settle
note "maximized start"
expect_same "$WORK/maximized" "$INI" "after the maximized start"
toggle_maximized
wait_for 10 "the window restored" not_maximized
wait_for 10 "MinMaxFlag 0" ini_is WindowSize MinMaxFlag 0
expect_placed "restored from maximized start"
settle
expect_same "$WORK/normal" "$INI" "after the maximized start and restore"
quit_app

# A position off every screen is brought back: the title bar is reachable.
Top=-4500 Left=30000 set_window_size
launch
on_screen() { read_geometry && ((FY >= 0 && FX >= 0 && FX + FW <= 1280 && FY + FH <= 1024)); }
wait_for 10 "the frame back on the screen" on_screen
expect_placed "off-screen position mended"
quit_app

# The search dialog: a title bar with no buttons, no close action offered,
# and Alt+F4 leaves the search running.
TREE=$WORK/tree
mkdir -p "$TREE/bulk" "$WORK/cal"
yes 'lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod' | head -c 4M >"$WORK/block"
ln "$WORK/block" "$WORK/cal/b.txt"
t1=$(date +%s%N)
"$CLI" "$WORK/cal" needle >/dev/null || fail "textrove-search failed"
t2=$(date +%s%N)
links=$(awk -v ns=$((t2 - t1)) 'BEGIN{n = int(8e9 / (ns + 1)) + 1; if (n < 4) n = 4; if (n > 4000) n = 4000; print n}')
for ((i = 0; i < links; i++)); do ln "$WORK/block" "$TREE/bulk/f$i.txt"; done
Top=3000 Left=3000 set_window_size
launch
expect_placed "before the search"
set_conditions "$TREE" needle
activate_main
xdotool key alt+s
wait_for 10 "the search dialog" visible '検索中・・・'
DLG=$(window_id '検索中・・・')
wait_for 5 "the dialog's allowed actions" eval 'xprop -id "$DLG" _NET_WM_ALLOWED_ACTIONS | grep -q ='
actions=$(xprop -id "$DLG" _NET_WM_ALLOWED_ACTIONS _MOTIF_WM_HINTS _NET_WM_WINDOW_TYPE)
log "search dialog: $(tr '\n' ' ' <<<"$actions")"
echo "search dialog: $actions" >>"$SUMMARY"
import -window root "$OUT/search_dialog.png"
for a in CLOSE MINIMIZE MAXIMIZE_HORZ MAXIMIZE_VERT FULLSCREEN RESIZE; do
    [[ $actions != *_NET_WM_ACTION_$a* ]] || fail "the search dialog offers _NET_WM_ACTION_$a"
done
xdotool key alt+F4
sleep 0.5
visible '検索中・・・' || fail "Alt+F4 closed the search dialog"
xdotool key Escape
wait_for 10 "the search dialog to close after Escape" not_visible '検索中・・・'
quit_app
