# End-to-end harness: a private Xvfb (with the window manager WM, if set), a
# fresh settings directory, the program driven only by X input events at its
# controls' twips geometry. A test sets E2E_NAME (and WM) and sources this with
# <textrove> <textrove-search> <output root>. Exit status 0 pass, 1 fail (screen,
# window tree and settings file left in <output root>/<E2E_NAME>/), 77 skipped.
set -uo pipefail
APP=${1:?textrove executable} CLI=${2:?textrove-search executable} OUT=${3:?output directory}/${E2E_NAME:?}
rm -rf "$OUT" && mkdir -p "$OUT"
WM=${WM:-}
for tool in Xvfb xdotool import xwininfo xprop awk cmp od $WM; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed" >&2; exit 77; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/textrove-e2e.XXXXXX")
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
unset DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI \
      QT_AUTO_SCREEN_SCALE_FACTOR QT_STYLE_OVERRIDE
mkdir -m 700 "$XDG_RUNTIME_DIR"
INI=$XDG_CONFIG_HOME/Textroveini
XVFB_PID= WM_PID= APP_PID= WIN=
TPP=15 MB=0     # twips per pixel at 96 DPI; the menu bar's height in pixels

usec() { echo "${EPOCHREALTIME//[.,]/}"; }
T0=$(usec)
log() { local c=$((($(usec) - T0) / 10000)); printf '[%3d.%02d] %s\n' $((c / 100)) $((c % 100)) "$*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

on_exit() {
    local rc=$? p
    trap - EXIT
    if [[ $rc != 0 && $rc != 77 && -n $XVFB_PID ]]; then
        import -window root "$OUT/failure.png" 2>/dev/null && echo "screenshot: $OUT/failure.png" >&2
        xwininfo -root -tree >"$OUT/windows.txt" 2>&1
        [[ -f $INI ]] && cp "$INI" "$OUT/Textroveini"
    fi
    [[ -n $APP_PID ]] && kill "$APP_PID" 2>/dev/null && sleep 0.3 && kill -9 "$APP_PID" 2>/dev/null
    for p in $WM_PID $XVFB_PID; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    chmod -R u+rwx "$WORK" 2>/dev/null
    rm -rf "$WORK"
    [[ $rc == 0 ]] && log "PASS $E2E_NAME"
    exit $rc
}
trap on_exit EXIT

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; fails the
# test after SECONDS, or at once when the program has died.
wait_for() {
    local end=$(($(usec) + $1 * 1000000)) what=$2
    shift 2
    until "$@"; do
        [[ -n $APP_PID ]] && ! kill -0 "$APP_PID" 2>/dev/null &&
            fail "textrove is no longer running (while waiting for $what)"
        (($(usec) > end)) && fail "timed out waiting for $what"
        sleep 0.05
    done
}

# A private X server on a display it picks itself, then the window manager.
# -noreset: a restart reconnects right after the last client left.
start_x() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset 3>"$WORK/display" >"$OUT/xvfb.log" 2>&1 &
    XVFB_PID=$!
    wait_for 20 "Xvfb to start" test -s "$WORK/display"
    export DISPLAY=:$(<"$WORK/display")
    log "Xvfb on $DISPLAY"
    [[ -z $WM ]] && return
    "$WM" --sm-disable >"$OUT/wm.log" 2>&1 &
    WM_PID=$!
    wait_for 10 "$WM to manage the screen" eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

# ini_get SECTION KEY: prints the value; status 1 when missing. Names match
# without regard to ASCII case.
ini_get() {
    [[ -f $INI ]] && awk -v s="${1,,}" -v k="${2,,}" '
        { sub(/\r$/, "") }
        /^\[/ { cur = tolower(substr($0, 2, index($0, "]") - 2)); next }
        cur == s && (i = index($0, "=")) && tolower(substr($0, 1, i - 1)) == k { print substr($0, i + 1); f = 1; exit }
        END { exit !f }' "$INI"
}
ini_has() { ini_get "$1" "$2" >/dev/null 2>&1; }
ini_is() { [[ "$(ini_get "$1" "$2" 2>/dev/null)" == "$3" ]]; }

visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
not_visible() { ! visible "$1"; }
window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

# read_geometry [WINDOW]: the client window's place and size (WX WY WW WH) and
# the window manager's frame around it (FX FY FW FH). xdotool's own geometry is
# off by the frame under a window manager.
read_geometry() {
    local id=${1:-$WIN} info ext l=0 r=0 t=0 b=0
    info=$(xwininfo -id "$id" 2>/dev/null) || return 1
    read -r WX WY WW WH < <(awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }' <<<"$info")
    ext=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null)
    [[ $ext == *=* ]] && IFS=', ' read -r l r t b <<<"${ext#*= }"
    FX=$((WX - l)) FY=$((WY - t)) FW=$((WW + l + r)) FH=$((WH + t + b))
}

# start_app [ARGUMENT]...: textrove, activated with a click (bare X activates
# nothing); the menu bar is what the window has beyond the stored outer size
# (the area below it + 150 x 716 twips).
start_app() {
    "$APP" "$@" >>"$OUT/textrove.log" 2>&1 &
    APP_PID=$!
    wait_for 20 "the main window" visible Textrove
    WIN=$(window_id Textrove)
    read_geometry
    xdotool mousemove $((WX + 20)) $((WY + 40)) click 1
    wait_for 10 "the stored Width to match the window" width_settled
    local h
    h=$(ini_get WindowSize Height) || fail "no Height in the settings file"
    MB=$(((WH * TPP - h + 716 + TPP / 2) / TPP))
    ((MB > 0 && MB < 80)) || fail "menu bar height ${MB}px is implausible (window ${WH}px, stored Height $h)"
    log "textrove pid $APP_PID at ${WX},${WY} ${WW}x${WH}, menu bar ${MB}px"
}
width_settled() { read_geometry && ini_has WindowSize Height && ini_is WindowSize Width "$(outer_width)"; }
outer_width() { echo $((WW * TPP + 150)); }

# click_twips X Y: a click at a point of the area below the menu bar.
click_twips() {
    xdotool mousemove $((WX + ($1 + TPP / 2) / TPP)) $((WY + MB + ($2 + TPP / 2) / TPP)) sleep 0.05 click 1 sleep 0.1
}

# Control centres (twips in the area below the menu bar).
activate_main() { read_geometry; click_twips 300 150; }   # the directory pane's label
list_left() { echo $(($(outer_width) - 1848 - 150)); }
type_text() { xdotool type --delay 12 -- "$1"; }

# set_conditions DIR WORD...: DIR typed in the directory box (unless empty),
# then each word added, as a person enters them.
set_conditions() {
    activate_main
    if [[ -n $1 ]]; then
        click_twips $((60 + ($(outer_width) - 152 - 492 - 401) / 2)) $((240 + 156))
        xdotool key ctrl+a
        type_text "$1"
        wait_for 10 "DefDir/Directory to hold the typed path" ini_is DefDir Directory "$1"
    fi
    local w n=0
    for w in "${@:2}"; do
        click_twips $(($(list_left) + 60 + 846)) $((636 + 420 + 156))    # the word box
        type_text "$w"
        click_twips $(($(list_left) + 60 + 396)) $((636 + 780 + 186))    # the add button
        n=$((n + 1))
        wait_for 10 "DefList/ListName$n to hold ${w^^}" ini_is DefList "ListName$n" "${w^^}"
    done
}

popup_count() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | wc -l; }
more_windows_than() { (($(popup_count) > $1)); }

# menu_command LETTER ITEM_LETTER: alt+LETTER opens a menu, ITEM_LETTER picks.
menu_command() {
    activate_main
    local before
    before=$(popup_count)
    xdotool key "alt+$1"
    wait_for 5 "the menu of alt+$1 to open" more_windows_than "$before"
    xdotool sleep 0.1 key "$2"
}

# Runs the search command and waits for the dialog to go; a small tree can be
# searched before the dialog is ever seen.
run_search() {
    activate_main
    xdotool key alt+s
    local i
    for ((i = 0; i < 40; i++)); do visible '検索中・・・' && break; sleep 0.05; done
    wait_for 45 "the search dialog to close" not_visible '検索中・・・'
}

select_all() { menu_command e a; sleep 0.2; }

# save_as PATH [EXPECTED WHAT]: 名前を付けて保存 with PATH typed in the file
# dialog's name box, which has the focus when it opens; the new file must hold
# the bytes of EXPECTED.
save_as() {
    menu_command f a
    wait_for 10 "the save dialog" visible '名前を付けて保存'
    xdotool sleep 0.3 key ctrl+a
    type_text "$1"
    xdotool sleep 0.2 key Return
    wait_for 10 "the save dialog to close" not_visible '名前を付けて保存'
    [[ -z ${2:-} ]] && return
    wait_for 10 "the saved file" test -f "$1"
    expect_same "$2" "$1" "$3"
}

quit_app() {
    menu_command f x
    local i rc
    for ((i = 0; i < 200; i++)); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$APP_PID" 2>/dev/null && fail "textrove did not exit after 終了"
    wait "$APP_PID"
    rc=$? APP_PID=
    [[ $rc == 0 ]] || fail "textrove exited with status $rc"
}

# expect_same EXPECTED ACTUAL WHAT
expect_same() {
    cmp -s "$1" "$2" && return 0
    cp "$1" "$OUT/expected.bin" 2>/dev/null; cp "$2" "$OUT/actual.bin" 2>/dev/null
    { cmp "$1" "$2"; echo "--- last bytes, expected then actual:"; tail -c 96 "$1" | od -c; tail -c 96 "$2" | od -c; } >&2
    fail "$3: bytes differ (copies in $OUT)"
}

# A small tree with UTF-8, CP932 and ASCII files, a subdirectory, a hidden
# file, a word split across a line break and a hit line holding characters
# the result pane would take for line breaks.
make_small_tree() {
    mkdir -p "$1/sub"
    printf 'first line\na needle in here\nNEEDLE and hay\nends with sta\nck starts here\n' >"$1/readme.txt"
    # CP932: 日本語の行 Hay / plain line, CR LF
    printf '\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8d\x73 Hay\r\nplain line\r\n' >"$1/sjis.txt"
    printf '\xe6\xa4\x9c\xe7\xb4\xa2 needle \xe7\xa2\xba\xe8\xaa\x8d\n' >"$1/utf8.txt"      # 検索 needle 確認
    printf 'needle\xe2\x80\xa8ls \xe2\x80\xa9ps\n' >"$1/sub/separators.txt"           # U+2028, U+2029
    printf 'a stack of hay\n' >"$1/sub/deep.txt"
    printf 'needle hidden\n' >"$1/.hidden.txt"
    printf 'nothing to see\n' >"$1/sub/none.txt"
}

# expected_result FILE DIR WORD...: the companion's result text plus the CR LF
# the save adds; it must hold hits, so that a comparison means something.
expected_result() {
    { "$CLI" "${@:2}" && printf '\r\n'; } >"$1" || fail "textrove-search failed"
    grep -q -- '----- ファイル名 : ' "$1" || fail "the expected result holds no hit; the tree is wrong"
}
