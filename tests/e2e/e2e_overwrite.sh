#!/usr/bin/env bash
# Saving over an existing file asks "上書き確認": No leaves the file as it
# was, Yes replaces it with the result text + CR LF.
E2E_NAME=e2e_overwrite
source "$(dirname "$0")/lib.sh" "$@"

TREE=$WORK/tree
make_small_tree "$TREE"
expected_result "$WORK/expected" "$TREE" hay

TARGET_DIR=$WORK/saved
mkdir -p "$TARGET_DIR"
printf 'old content\r\n' >"$TARGET_DIR/old.txt"
cp "$TARGET_DIR/old.txt" "$WORK/old.copy"
inode_before=$(stat -c %i "$TARGET_DIR/old.txt")

start_x
start_app
set_conditions "$TREE" hay
run_search
select_all

# No: nothing is written.
open_save_dialog
type_save_name "$TARGET_DIR/old.txt"
wait_for 10 "the overwrite question" visible '上書き確認'
import -window root "$OUT/overwrite_question.png"
xdotool key Escape      # the question's No answers Escape
wait_for 10 "the overwrite question to close" not_visible '上書き確認'
sleep 0.5
expect_same "$WORK/old.copy" "$TARGET_DIR/old.txt" "file after answering No"
[[ $(stat -c %i "$TARGET_DIR/old.txt") == "$inode_before" ]] || fail "the file was replaced after answering No"
[[ "$(ls -A "$TARGET_DIR")" == "old.txt" ]] || fail "answering No left files: $(ls -A "$TARGET_DIR")"
log "No kept the file"

# Yes (the default button): the file is replaced.
open_save_dialog
type_save_name "$TARGET_DIR/old.txt"
wait_for 10 "the overwrite question" visible '上書き確認'
xdotool key Return
wait_for 10 "the overwrite question to close" not_visible '上書き確認'
replaced() { [[ $(stat -c %i "$TARGET_DIR/old.txt") != "$inode_before" ]]; }
wait_for 10 "the file to be replaced" replaced
expect_same "$WORK/expected" "$TARGET_DIR/old.txt" "file after answering Yes"
[[ "$(ls -A "$TARGET_DIR")" == "old.txt" ]] || fail "the save left other files: $(ls -A "$TARGET_DIR")"
log "Yes replaced the file"

quit_app
