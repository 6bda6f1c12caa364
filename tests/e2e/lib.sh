# Shared harness of the end-to-end tests: a private Xvfb, a fresh settings
# directory, the built program driven only through X input events (xdotool),
# controls found from the window position and their twips geometry.
#
# A test script sets E2E_NAME (and WM=openbox to run under that window
# manager) and sources this file with its arguments:
#   <textrove> <textrove-search> <output root>
# Exit status: 0 pass, 1 fail (screenshot left in <output root>/<E2E_NAME>/),
# 77 skipped because a tool is missing.

set -uo pipefail

APP=${1:?textrove executable}
CLI=${2:?textrove-search executable}
OUT=${3:?output directory}/${E2E_NAME:?}
rm -rf "$OUT"
mkdir -p "$OUT"

WM=${WM:-}
for tool in Xvfb xdotool import xwininfo xprop awk cmp od $WM; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed" >&2
        exit 77
    fi
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/textrove-e2e.XXXXXX")
export XDG_CONFIG_HOME=$WORK/config XDG_CACHE_HOME=$WORK/cache
INI=$XDG_CONFIG_HOME/Textroveini
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 XDG_RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI \
      QT_AUTO_SCREEN_SCALE_FACTOR QT_STYLE_OVERRIDE 2>/dev/null || true

XVFB_PID=
WM_PID=
APP_PID=
WIN=
TPP=15          # twips per pixel at 96 DPI
MB=0            # menu bar height, pixels
T0=$(date +%s.%N)

log() { printf '[%6.2f] %s\n' "$(awk -v a="$T0" -v b="$(date +%s.%N)" 'BEGIN{print b-a}')" "$*"; }

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

screenshot() {
    [[ -n ${DISPLAY:-} ]] && import -window root "$1" 2>/dev/null
}

on_exit() {
    local rc=$?
    trap - EXIT
    if [[ $rc -ne 0 && $rc -ne 77 && -n $XVFB_PID ]]; then
        screenshot "$OUT/failure.png" && echo "screenshot: $OUT/failure.png" >&2
        xwininfo -root -tree >"$OUT/windows.txt" 2>&1 || true
        [[ -f $INI ]] && cp "$INI" "$OUT/Textroveini"
    fi
    if [[ -n $APP_PID ]] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null
        sleep 0.3
        kill -9 "$APP_PID" 2>/dev/null
    fi
    if [[ -n $WM_PID ]]; then
        kill "$WM_PID" 2>/dev/null
        wait "$WM_PID" 2>/dev/null
    fi
    if [[ -n $XVFB_PID ]]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    chmod -R u+rwx "$WORK" 2>/dev/null
    rm -rf "$WORK"
    [[ $rc -eq 0 ]] && log "PASS $E2E_NAME"
    exit $rc
}
trap on_exit EXIT

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds; fails the
# test after SECONDS, or at once when the program has died.
wait_for() {
    local limit=$1 what=$2
    shift 2
    local end
    end=$(awk -v n="$limit" -v t="$(date +%s.%N)" 'BEGIN{printf "%.3f", t+n}')
    while :; do
        "$@" && return 0
        if [[ -n $APP_PID ]] && ! kill -0 "$APP_PID" 2>/dev/null; then
            fail "textrove is no longer running (while waiting for $what)"
        fi
        if awk -v e="$end" -v t="$(date +%s.%N)" 'BEGIN{exit !(t>e)}'; then
            fail "timed out after ${limit}s waiting for $what"
        fi
        sleep 0.05
    done
}

# A private X server on a display nobody uses.
start_x() {
    local n base
    base=$((100 + RANDOM % 400))
    for ((n = base; n < base + 40; n++)); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        # -noreset: a restart test reconnects right after the last client left.
        Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset >"$OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        export DISPLAY=:$n
        local i
        for ((i = 0; i < 100; i++)); do
            if ! kill -0 "$XVFB_PID" 2>/dev/null; then break; fi
            if xwininfo -root >/dev/null 2>&1; then
                log "Xvfb on $DISPLAY"
                [[ -n $WM ]] && start_wm
                return 0
            fi
            sleep 0.05
        done
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    done
    fail "could not start Xvfb"
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# The window manager named by WM, with its stock configuration.
start_wm() {
    case $WM in
    openbox) openbox --sm-disable >"$OUT/wm.log" 2>&1 & ;;
    *) fail "unknown window manager '$WM'" ;;
    esac
    WM_PID=$!
    wait_for 10 "$WM to manage the screen" wm_running
    log "$WM running"
}

# ---- settings file ---------------------------------------------------------

# ini_get SECTION KEY: prints the value; status 1 when missing. Section and key
# names match without regard to ASCII case.
ini_get() {
    [[ -f $INI ]] || return 1
    awk -v s="$1" -v k="$2" '
        BEGIN { s = tolower(s); k = tolower(k); found = 0 }
        { sub(/\r$/, "") }
        /^\[/ { cur = tolower(substr($0, 2, index($0, "]") - 2)); next }
        cur == s {
            i = index($0, "=")
            if (i > 0 && tolower(substr($0, 1, i - 1)) == k) { print substr($0, i + 1); found = 1; exit }
        }
        END { exit !found }' "$INI"
}

ini_has() { ini_get "$1" "$2" >/dev/null 2>&1; }
ini_is() { [[ "$(ini_get "$1" "$2" 2>/dev/null)" == "$3" ]]; }

# ---- windows ----------------------------------------------------------------

visible() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
not_visible() { ! visible "$1"; }
window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }

app_alive() { [[ -n $APP_PID ]] && kill -0 "$APP_PID" 2>/dev/null; }

# The client window's place on the screen and size (WX WY WW WH), and the
# window manager's frame around it (FX FY FW FH; the same rectangle without
# one). xdotool's own geometry is off by the frame under a window manager.
read_geometry() {
    local info ext
    info=$(xwininfo -id "$WIN" 2>/dev/null) || return 1
    read -r WX WY WW WH < <(awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 }
        END { print x + 0, y + 0, w + 0, h + 0 }' <<<"$info")
    local l=0 r=0 t=0 b=0
    ext=$(xprop -id "$WIN" _NET_FRAME_EXTENTS 2>/dev/null)
    if [[ $ext == *=* ]]; then
        IFS=', ' read -r l r t b <<<"${ext#*= }"
    fi
    FX=$((WX - l)) FY=$((WY - t)) FW=$((WW + l + r)) FH=$((WH + t + b))
}

# start_app [ARGUMENT]...: the arguments go to textrove.
start_app() {
    "$APP" "$@" >>"$OUT/textrove.log" 2>&1 &
    APP_PID=$!
    wait_for 20 "the main window" visible Textrove
    WIN=$(window_id Textrove)
    [[ "$(xdotool getwindowname "$WIN")" == "Textrove" ]] || fail "main window caption is not Textrove"
    # Without a window manager nothing activates a new window: click it, as a
    # person would, on the directory pane's label.
    read_geometry
    xdotool mousemove $((WX + 20)) $((WY + 40)) click 1
    wait_for 10 "the geometry in the settings file" ini_has WindowSize Height
    wait_for 10 "the window width to match the stored Width" width_settled
    measure_menu_bar
    log "textrove pid $APP_PID, window $WIN at ${WX},${WY} ${WW}x${WH}, menu bar ${MB}px"
}

# The window width agrees with the stored outer width (area + 150 twips).
width_settled() {
    read_geometry
    local w
    w=$(ini_get WindowSize Width) || return 1
    [[ $w == "$(outer_width)" ]]
}

# The stored outer size is the area below the menu bar + 150 x 716 twips, so
# the menu bar is what the window has beyond the stored area.
measure_menu_bar() {
    local h
    h=$(ini_get WindowSize Height) || fail "no Height in the settings file"
    MB=$(awk -v wh="$WH" -v h="$h" -v t="$TPP" 'BEGIN{printf "%d", wh - (h - 716) / t + 0.5}')
    ((MB > 0 && MB < 80)) || fail "menu bar height ${MB}px is implausible (window ${WH}px, stored Height $h)"
}

# Outer width in twips, as the layout sees it.
outer_width() { echo $((WW * TPP + 150)); }

# click_twips X Y: a click at a point of the area below the menu bar.
click_twips() {
    local x y
    x=$(awk -v w="$WX" -v t="$1" -v p="$TPP" 'BEGIN{printf "%d", w + t / p + 0.5}')
    y=$(awk -v w="$WY" -v m="$MB" -v t="$2" -v p="$TPP" 'BEGIN{printf "%d", w + m + t / p + 0.5}')
    xdotool mousemove "$x" "$y"
    sleep 0.05
    xdotool click 1
    sleep 0.1
}

# Control centres (twips in the area below the menu bar).
activate_main() { read_geometry; click_twips 300 150; }   # the directory pane's label
click_serchdir() { click_twips $((60 + ($(outer_width) - 152 - 492 - 401) / 2)) $((240 + 156)); }
list_left() { echo $(($(outer_width) - 1848 - 150)); }
click_serchtext() { click_twips $(($(list_left) + 60 + 846)) $((636 + 420 + 156)); }
click_listadd() { click_twips $(($(list_left) + 60 + 396)) $((636 + 780 + 186)); }
click_listdel() { click_twips $(($(list_left) + 960 + 396)) $((636 + 780 + 186)); }

type_text() { xdotool type --delay 12 -- "$1"; }

# ---- user actions -------------------------------------------------------------

set_directory() {
    activate_main
    click_serchdir
    xdotool key ctrl+a
    type_text "$1"
    wait_for 10 "DefDir/Directory to hold the typed path" ini_is DefDir Directory "$1"
}

WORDS_ADDED=0
add_word() {
    local upper
    upper=$(printf '%s' "$1" | tr a-z A-Z)
    click_serchtext
    type_text "$1"
    click_listadd
    WORDS_ADDED=$((WORDS_ADDED + 1))
    wait_for 10 "DefList/ListName$WORDS_ADDED to hold $upper" ini_is DefList "ListName$WORDS_ADDED" "$upper"
}

# The search conditions as a person enters them: the directory, then each word.
set_conditions() {
    set_directory "$1"
    shift
    local w
    for w in "$@"; do add_word "$w"; done
}

popup_count() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | wc -l; }
more_windows_than() { (( $(popup_count) > $1 )); }

# menu_command LETTER ITEM_LETTER: alt+LETTER opens a menu, ITEM_LETTER picks.
menu_command() {
    activate_main
    local before
    before=$(popup_count)
    xdotool key "alt+$1"
    wait_for 5 "the menu of alt+$1 to open" more_windows_than "$before"
    sleep 0.1
    xdotool key "$2"
}

# Runs the search command; waits for the dialog to go. A small tree can be
# searched before the dialog is ever seen; the caller checks the result.
SEARCH_DIALOG_SEEN=0
run_search() {
    activate_main
    xdotool key alt+s
    SEARCH_DIALOG_SEEN=0
    local i
    for ((i = 0; i < 40; i++)); do
        if visible '検索中・・・'; then SEARCH_DIALOG_SEEN=1; break; fi
        sleep 0.05
    done
    [[ $SEARCH_DIALOG_SEEN == 1 ]] || log "search dialog not seen (a quick search)"
    wait_for 45 "the search dialog to close" not_visible '検索中・・・'
}

select_all() { menu_command e a; sleep 0.2; }

# open_save_dialog then type_save_name PATH: the file dialog's name box has
# the focus when it opens.
open_save_dialog() {
    menu_command f a
    wait_for 10 "the save dialog" visible '名前を付けて保存'
    sleep 0.3
}
type_save_name() {
    xdotool key ctrl+a
    type_text "$1"
    sleep 0.2
    xdotool key Return
    wait_for 10 "the save dialog to close" not_visible '名前を付けて保存'
}

quit_app() {
    menu_command f x
    local i
    for ((i = 0; i < 200; i++)); do
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$APP_PID" 2>/dev/null && fail "textrove did not exit after 終了"
    wait "$APP_PID"
    local rc=$?
    APP_PID=
    [[ $rc -eq 0 ]] || fail "textrove exited with status $rc"
    log "textrove exited"
}

# ---- data -------------------------------------------------------------------

# expect_same EXPECTED ACTUAL WHAT
expect_same() {
    if ! cmp -s "$1" "$2"; then
        cp "$1" "$OUT/expected.bin" 2>/dev/null
        cp "$2" "$OUT/actual.bin" 2>/dev/null
        cmp "$1" "$2" >&2
        echo "--- expected, last bytes ---" >&2
        tail -c 96 "$1" | od -c >&2
        echo "--- actual, last bytes ---" >&2
        tail -c 96 "$2" | od -c >&2
        fail "$3: bytes differ (copies in $OUT)"
    fi
}

# A small tree with UTF-8, CP932 and ASCII files, a subdirectory, a hidden
# file, a word split across a line break and a hit line holding characters
# the result pane would take for line breaks.
make_small_tree() {
    local t=$1
    mkdir -p "$t/sub"
    printf 'first line\na needle in here\nNEEDLE and hay\nends with sta\nck starts here\n' >"$t/readme.txt"
    # CP932: 日本語の行 Hay / plain line, CR LF
    printf '\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8d\x73 Hay\r\nplain line\r\n' >"$t/sjis.txt"
    # UTF-8: 検索 needle 確認
    printf '\xe6\xa4\x9c\xe7\xb4\xa2 needle \xe7\xa2\xba\xe8\xaa\x8d\n' >"$t/utf8.txt"
    # UTF-8 with a line and a paragraph separator inside the hit line
    printf 'needle\xe2\x80\xa8ls \xe2\x80\xa9ps\n' >"$t/sub/separators.txt"
    printf 'a stack of hay\n' >"$t/sub/deep.txt"
    printf 'needle hidden\n' >"$t/.hidden.txt"
    printf 'nothing to see\n' >"$t/sub/none.txt"
}

# expected_result FILE DIR WORD...: the companion's result text plus the CR LF
# the save adds; checks that it holds hits, so a comparison means something.
expected_result() {
    local file=$1
    shift
    "$CLI" "$@" >"$file" || fail "textrove-search failed"
    printf '\r\n' >>"$file"
    grep -q -- '----- ファイル名 : ' "$file" || fail "the expected result holds no hit; the tree is wrong"
}
