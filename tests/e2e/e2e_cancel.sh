#!/usr/bin/env bash
# Under openbox, a long search shows "検索中・・・" with a title bar but no window
# buttons and no close action; Alt+F4 leaves it running. Escape cancels it, a
# click on ｷｬﾝｾﾙ a second one: each ends at once with the abort record after
# the records found so far, the second starting from a cleared cancel flag.
E2E_NAME=e2e_cancel
WM=openbox
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree
mkdir -p "$TREE/bulk" "$WORK/cal"
printf 'first\nneedle here\n' >"$TREE/hit.txt"
# The records before the cancellation: the target's own file comes first.
expected_result "$WORK/prefix" "$TREE" needle
head -c -2 "$WORK/prefix" >"$WORK/records"      # without the save's CR LF
abort=$'\r\n***** 中断しました。 *****'
{ cat "$WORK/records"; printf '%s' "$abort"; cat "$WORK/records"; printf '%s\r\n' "$abort"; } >"$WORK/expected"
# Bulk without the word: one 4 MiB block hard-linked as often as the companion
# would take about 15 s to search.
yes 'lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod' | head -c 4M >"$WORK/cal/b.txt"
t=$(usec)
"$CLI" "$WORK/cal" needle >/dev/null || fail "textrove-search failed"
t=$(($(usec) - t + 1)) n=$((15000000 / t + 1))
((n = n < 4 ? 4 : n > 4000 ? 4000 : n))
for ((i = 0; i < n; i++)); do ln "$WORK/cal/b.txt" "$TREE/bulk/f$i.txt"; done
log "bulk: $n links of a 4 MiB block (one took $((t / 1000)) ms)"

start_x
start_app
set_conditions "$TREE" needle

# cancel_by HOW: starts a search; its dialog offers no close action and
# Alt+F4 leaves it; a second later HOW (Escape or a click on ｷｬﾝｾﾙ) ends it.
cancel_by() {
    activate_main
    xdotool key alt+s
    wait_for 10 "the search dialog" visible '検索中・・・'
    local dlg actions a t0
    dlg=$(window_id '検索中・・・')
    wait_for 5 "the dialog's allowed actions" eval 'xprop -id "$dlg" _NET_WM_ALLOWED_ACTIONS | grep -q ='
    actions=$(xprop -id "$dlg" _NET_WM_ALLOWED_ACTIONS _MOTIF_WM_HINTS _NET_WM_WINDOW_TYPE)
    for a in CLOSE MINIMIZE MAXIMIZE_HORZ MAXIMIZE_VERT FULLSCREEN RESIZE; do
        [[ $actions != *_NET_WM_ACTION_$a* ]] || fail "the search dialog offers _NET_WM_ACTION_$a: $actions"
    done
    xdotool key alt+F4 sleep 1
    visible '検索中・・・' || fail "the search ended before it could be cancelled (or Alt+F4 closed it)"
    t0=$(usec)
    read_geometry "$dlg"    # ｷｬﾝｾﾙ: 1200,1440 1332x372 in a 3708x1908 client area
    if [[ $1 == Escape ]]; then xdotool key Escape
    else xdotool mousemove $((WX + WW * 1866 / 3708)) $((WY + WH * 1626 / 1908)) sleep 0.05 click 1; fi
    wait_for 5 "the search dialog to close after $1" not_visible '検索中・・・'
    log "cancelled by $1; the dialog closed $((($(usec) - t0) / 1000)) ms later"
}
cancel_by Escape
cancel_by ｷｬﾝｾﾙ

select_all
save_as "$WORK/cancelled.txt" "$WORK/expected" "result of two cancelled searches"
quit_app
