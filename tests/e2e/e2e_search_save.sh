#!/usr/bin/env bash
# Type a directory and three words, search with alt+s, select all, save to a
# new name through the file dialog; the file holds the result text + CR LF.
E2E_NAME=e2e_search_save
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" needle HAY STACK
grep -q '検索文字は、  NEEDLE  HAY  STACK' "$WORK/expected" || fail "unexpected header from textrove-search"

start_x
start_app

set_conditions "$TREE" needle HAY STACK
log "directory and words entered"

run_search
import -window "$WIN" "$OUT/main_window.png"
select_all
mkdir -p "$WORK/saved"
open_save_dialog
# No extension: the name is used as typed.
type_save_name "$WORK/saved/result"
wait_for 10 "the saved file" test -f "$WORK/saved/result"
[[ "$(ls -A "$WORK/saved")" == "result" ]] || fail "the save left other files: $(ls -A "$WORK/saved")"
expect_same "$WORK/expected" "$WORK/saved/result" "saved result"
log "saved result matches ($(wc -c <"$WORK/saved/result") bytes)"

quit_app
