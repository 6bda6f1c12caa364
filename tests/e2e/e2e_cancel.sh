#!/usr/bin/env bash
# A long search is cancelled with Escape, and a second one with a click on
# ｷｬﾝｾﾙ: each ends at once with the abort record after the records found so
# far, and the second search starts from a cleared cancel flag.
E2E_NAME=e2e_cancel
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree
mkdir -p "$TREE"
printf 'first\nneedle here\n' >"$TREE/hit.txt"
# The records before the cancellation: the target's own file comes first.
expected_result "$WORK/prefix" "$TREE" needle
head -c -2 "$WORK/prefix" >"$WORK/records"      # without the save's CR LF
abort=$'\r\n***** 中断しました。 *****'
{ cat "$WORK/records"; printf '%s' "$abort"; cat "$WORK/records"; printf '%s\r\n' "$abort"; } >"$WORK/expected"

# Bulk without the word: one block hard-linked many times, sized from the
# companion's speed so that the search would run for about 15 s.
yes 'lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod' | head -c 4M >"$WORK/block"
mkdir -p "$WORK/cal"
ln "$WORK/block" "$WORK/cal/b.txt"
t1=$(date +%s%N)
"$CLI" "$WORK/cal" needle >/dev/null || fail "textrove-search failed"
t2=$(date +%s%N)
links=$(awk -v ns=$((t2 - t1)) 'BEGIN{n = int(15e9 / (ns + 1)) + 1; if (n < 4) n = 4; if (n > 4000) n = 4000; print n}')
mkdir -p "$TREE/bulk"
for ((i = 0; i < links; i++)); do ln "$WORK/block" "$TREE/bulk/f$i.txt"; done
log "bulk: $links links of a 4 MiB block (one block took $(((t2 - t1) / 1000000)) ms)"

start_x
start_app
set_conditions "$TREE" needle

# cancel_running HOW: starts a search and cancels it after a second.
cancel_running() {
    activate_main
    xdotool key alt+s
    wait_for 10 "the search dialog" visible '検索中・・・'
    sleep 1
    visible '検索中・・・' || fail "the search ended before it could be cancelled"
    [[ -f $OUT/search_dialog.png ]] || import -window root "$OUT/search_dialog.png"
    local t0 t1
    t0=$(date +%s%N)
    if [[ $1 == escape ]]; then
        xdotool key Escape
    else
        local d X Y WIDTH HEIGHT SCREEN
        d=$(window_id '検索中・・・')
        eval "$(xdotool getwindowgeometry --shell "$d")"
        # ｷｬﾝｾﾙ: 1200,1440 1332x372 in a 3708x1908 client area.
        xdotool mousemove $((X + WIDTH * 1866 / 3708)) $((Y + HEIGHT * 1626 / 1908))
        sleep 0.05
        xdotool click 1
    fi
    wait_for 5 "the search dialog to close after the cancel" not_visible '検索中・・・'
    t1=$(date +%s%N)
    log "cancelled by $1; the dialog closed $(((t1 - t0) / 1000000)) ms later"
}
cancel_running escape
cancel_running click

select_all
mkdir -p "$WORK/saved"
open_save_dialog
type_save_name "$WORK/saved/cancelled.txt"
wait_for 10 "the saved file" test -f "$WORK/saved/cancelled.txt"
expect_same "$WORK/expected" "$WORK/saved/cancelled.txt" "result of two cancelled searches"
log "both results end with the abort record"

quit_app
