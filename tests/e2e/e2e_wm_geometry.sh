#!/usr/bin/env bash
# Under openbox the frame opens exactly at the stored Left and Top with the
# stored size, and the settings file stays as it was when nothing was moved:
# first start, plain restarts, a resize, maximize and restore, a maximized
# start, a position off the screen.
E2E_NAME=e2e_wm_geometry
WM=openbox
source "$(dirname "$0")/lib.sh" "$@"

stored() { ini_get WindowSize "$1" 2>/dev/null; }
launch() {      # openbox activates the new window itself
    "$APP" >>"$OUT/textrove.log" 2>&1 &
    APP_PID=$!
    wait_for 20 "the main window" visible Textrove
    WIN=$(window_id Textrove)
}
# The frame's corner and the area below the menu bar agree with the file
# (Left, Top, Width = area + 150, Height = area + 716 twips).
at_stored() {
    read_geometry && [[ $(stored Left),$(stored Top),$(stored Width),$(stored Height) == \
        "$((FX * TPP)),$((FY * TPP)),$((WW * TPP + 150)),$(((WH - MB) * TPP + 716))" ]]
}
expect_placed() { wait_for 10 "$1: the frame at the stored Left/Top and size" at_stored; }
# expect_kept COPY WHAT: after a pause long enough for a store that follows the
# window manager's last event, the file is still COPY.
expect_kept() { sleep 0.6; expect_same "$WORK/$1" "$INI" "$2: the settings file"; }

maximized() { xprop -id "$WIN" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
not_maximized() { ! maximized; }
# toggle_to STATE FLAG: a double click on the title bar toggles maximization.
toggle_to() {
    read_geometry
    xdotool mousemove $((FX + FW / 2)) $(((FY + WY) / 2)) click --repeat 2 --delay 60 1
    wait_for 10 "the window $1" "$1"
    wait_for 10 "MinMaxFlag $2" ini_is WindowSize MinMaxFlag "$2"
}
# KEY=VALUE... set_window_size: writes those WindowSize keys into the file.
set_window_size() {
    local k
    for k in Top Left Width Height MinMaxFlag; do
        [[ -z ${!k:-} ]] || sed -i "/^\[WindowSize\]/I,/^\[/ s/^$k=.*/$k=${!k}/I" "$INI"
    done
}
# restarts N FLOW: N starts, each at the stored place, the file unchanged.
restarts() {
    cp "$INI" "$WORK/before"
    for ((n = 1; n <= $1; n++)); do
        launch
        expect_placed "$2 #$n"
        expect_kept before "$2 #$n"
        quit_app
    done
}

start_x
# First start: the design size at the screen's top-left corner.
launch
wait_for 10 "the first start's geometry in the file" ini_has WindowSize Height
read_geometry
MB=$((WH - 3900 / TPP))
((MB > 0 && MB < 80)) || fail "menu bar height ${MB}px is implausible"
expect_placed "first start"
[[ $(stored Left),$(stored Top),$(stored Width),$(stored Height),$(stored MinMaxFlag) == 0,0,7350,4616,0 ]] ||
    fail "the first start stored $(tr '\n' ' ' <"$INI")"
quit_app
Top=3000 Left=3000 Width=9150 Height=6116 MinMaxFlag=0 set_window_size
restarts 6 "plain restart"

# A resize (the window manager keeps the frame's corner), then restarts.
launch
expect_placed "before the resize"
xdotool windowsize "$WIN" 640 420
resized() { at_stored && [[ $WW == 640 && $WH == 420 ]]; }
wait_for 10 "the resized bounds in the file" resized
quit_app
restarts 6 "restart after resize"

# Maximize, restore, restart: the bounds in the file never change.
cp "$INI" "$WORK/normal"
launch
expect_placed "before maximize"
toggle_to maximized 2
toggle_to not_maximized 0
expect_placed "restored"
expect_kept normal "after maximize and restore"
quit_app
restarts 1 "restart after restore"

# A maximized start, then restore: back to the stored bounds.
MinMaxFlag=2 set_window_size
cp "$INI" "$WORK/maximized"
launch
wait_for 10 "the window maximized at start" maximized
expect_kept maximized "after the maximized start"
toggle_to not_maximized 0
expect_placed "restored from the maximized start"
expect_kept normal "after the maximized start and restore"
quit_app

# A position off every screen is brought back: the title bar is reachable.
Top=-4500 Left=30000 set_window_size
launch
on_screen() { read_geometry && ((FY >= 0 && FX >= 0 && FX + FW <= 1280 && FY + FH <= 1024)); }
wait_for 10 "the frame back on the screen" on_screen
expect_placed "off-screen position mended"
quit_app
