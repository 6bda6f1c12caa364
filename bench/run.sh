#!/usr/bin/env bash
# Search benchmark: textrove-search against ripgrep (one thread and default
# threads) and the read floor, on two generated trees: the 200 MiB corpus and
# 100,000 small files. See bench/README.md.
set -euo pipefail
export LC_ALL=C.UTF-8   # '.' as decimal point in $EPOCHREALTIME and awk

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(dirname "$HERE")
BUILD=$ROOT/build-bench
BUILD_GIVEN=0
RUNS=5
SIZE_MB=200
SEED=1
CORPUS_DIR=$HERE/corpus
SMALL_DIR=$HERE/corpus-small
OUT=$HERE/out
REGEN=0
HASH=0
TREES=corpus,small
SYSCALLS=0
RT=()

usage() {
    cat <<EOF
usage: bench/run.sh [options]
  -b, --build-dir DIR  use the binaries already built in DIR (no build)
  -n, --runs N         timed runs per tool (default $RUNS)
  --size-mb N          corpus size in MiB (default $SIZE_MB)
  --seed S             corpus seed (default $SEED)
  --corpus DIR         corpus directory (default bench/corpus)
  --small-dir DIR      small-files tree directory (default bench/corpus-small)
  --trees LIST         trees to time, comma-separated: corpus, small (default both)
  --syscalls           also count textrove-search's system calls per file (strace -c -f)
  --rt                 run the timed commands under SCHED_FIFO (chrt -f 10), so that the
                       machine's other load does not preempt them (needs the right to)
  --regen              generate the trees again even if they are there
  --hash               print the content hash of each tree and exit
Without -b, configures and builds $ROOT/build-bench (Release).
EOF
}

while [[ $# -gt 0 ]]; do
    case $1 in
    -b|--build-dir) BUILD=$(cd "$2" && pwd); BUILD_GIVEN=1; shift 2 ;;
    -n|--runs) RUNS=$2; shift 2 ;;
    --size-mb) SIZE_MB=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --corpus) CORPUS_DIR=$2; shift 2 ;;
    --small-dir) SMALL_DIR=$2; shift 2 ;;
    --trees) TREES=$2; shift 2 ;;
    --syscalls) SYSCALLS=1; shift ;;
    --rt) RT=(chrt -f 10); shift ;;
    --regen) REGEN=1; shift ;;
    --hash) HASH=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
done
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || { echo "runs must be a positive number" >&2; exit 2; }
[[ $TREES =~ ^(corpus|small)(,(corpus|small))*$ ]] || { echo "trees: corpus and/or small" >&2; exit 2; }
if [[ ${#RT[@]} -gt 0 ]] && ! "${RT[@]}" true 2>/dev/null; then
    echo "run.sh: --rt: no right to SCHED_FIFO here" >&2; exit 2
fi
SCHEDULING="normal"; [[ ${#RT[@]} -eq 0 ]] || SCHEDULING="SCHED_FIFO (--rt)"

CLEANUP=()
cleanup() { for p in "${CLEANUP[@]}"; do rm -rf -- "$p"; done; }
trap cleanup EXIT

say() { printf '== %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

# ripgrep and GNU time come from Debian; install them when missing.
need=()
[[ -x /usr/bin/time ]] || need+=(time)
command -v rg >/dev/null || need+=(ripgrep)
[[ $SYSCALLS == 0 ]] || command -v strace >/dev/null || need+=(strace)
if [[ ${#need[@]} -gt 0 ]]; then
    sudo=""; [[ $(id -u) -eq 0 ]] || sudo=sudo
    say "installing ${need[*]}"
    $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" \
        || die "could not install ${need[*]}"
fi

# ---------------------------------------------------------------- build
if [[ $BUILD_GIVEN == 0 ]]; then
    say "building in $BUILD"
    if [[ ! -f $BUILD/build.ninja ]]; then
        cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEXTROVE_BUILD_TESTS=OFF >/dev/null
    fi
    ninja -C "$BUILD" -j2 gen_corpus read_floor >/dev/null
    ninja -C "$BUILD" -j2 textrove-search >/dev/null || say "textrove-search did not build; timing the others"
    if ninja -C "$BUILD" -t targets all 2>/dev/null | grep -q '^gui_bench:'; then
        ninja -C "$BUILD" -j2 gui_bench >/dev/null || say "gui_bench did not build"
    fi
fi
GEN=$BUILD/bench/gen_corpus
FLOOR=$BUILD/bench/read_floor
TEXTROVE=$BUILD/textrove-search
[[ -x $GEN && -x $FLOOR ]] || die "gen_corpus / read_floor not found in $BUILD/bench"

# ---------------------------------------------------------------- trees
# Each tree lives in DIR/tree with DIR/words.txt (its search words, one per
# line) and DIR/manifest.txt (its figures); kind is corpus or small.
tree_matches() {
    local dir=$1 kind=$2 flag=""
    [[ $kind == small ]] && flag=--small
    [[ -d $dir/tree && -f $dir/words.txt && -f $dir/manifest.txt ]] &&
        grep -qx "format=$("$GEN" $flag --version)" "$dir/manifest.txt" &&
        grep -qx "seed=$SEED" "$dir/manifest.txt" &&
        if [[ $kind == small ]]; then grep -qx "kind=small" "$dir/manifest.txt"
        else grep -qx "size_mb=$SIZE_MB" "$dir/manifest.txt"; fi
}

make_tree() {
    local dir=$1 kind=$2
    if [[ $REGEN == 1 ]] || ! tree_matches "$dir" "$kind"; then
        local args=(--out "$dir.tmp/tree" --seed "$SEED" --words "$dir.tmp/words.txt" --manifest "$dir.tmp/manifest.txt")
        if [[ $kind == small ]]; then
            say "generating the small-files tree (seed $SEED) in $dir"
            args+=(--small)
        else
            say "generating a $SIZE_MB MiB corpus (seed $SEED) in $dir"
            args+=(--size-mb "$SIZE_MB")
        fi
        rm -rf "$dir.tmp"
        mkdir -p "$dir.tmp"
        CLEANUP+=("$dir.tmp")   # an interrupted generation leaves nothing
        "$GEN" "${args[@]}" >/dev/null
        rm -rf "$dir"
        mv "$dir.tmp" "$dir"
    fi
}

declare -A TREE_DIR=([corpus]=$CORPUS_DIR [small]=$SMALL_DIR)
IFS=, read -r -a TREE_LIST <<<"$TREES"
for kind in "${TREE_LIST[@]}"; do make_tree "${TREE_DIR[$kind]}" "$kind"; done

if [[ $HASH == 1 ]]; then
    # Names and contents of every file, hidden ones included, in a fixed order.
    for kind in "${TREE_LIST[@]}"; do
        printf '%s ' "$kind"
        (cd "${TREE_DIR[$kind]}/tree" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) | sha256sum | cut -d' ' -f1
    done
    exit 0
fi

# ---- GUI benchmark hook ------------------------------------------------
# bench/gui_bench, by the GUI engineers: a program of the build
# ($BUILD/bench/gui_bench) or a script beside this one. Contract:
#   gui_bench CORPUS WORD...
# runs one search through the windows (offscreen, with a throw-away
# XDG_CONFIG_HOME), writes the result pane's text to standard output as
# textrove-search does and exits 0. It is timed like the other tools.
GUI_BENCH=
for candidate in "$BUILD/bench/gui_bench" "$HERE/gui_bench"; do
    if [[ -x $candidate && ! -d $candidate ]]; then GUI_BENCH=$candidate; break; fi
done
if [[ -n $GUI_BENCH ]]; then
    GUI_CONFIG=$(mktemp -d)
    CLEANUP+=("$GUI_CONFIG")
fi
# ------------------------------------------------------------------------

mkdir -p "$OUT"
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Hit records of the result text: every record but the empty ones, the header
# and the banners. Records are separated by CR LF; a line holds neither.
textrove_hits() { grep -a -c -v -E -e $'^\r?$' -e '^検索文字は、' -e '^----- ファイル名 : ' "$1" || true; }
textrove_files() { grep -a -c -e '^----- ファイル名 : ' "$1" || true; }

# Times every tool on one tree and prints its table (kept in
# $OUT/results-KIND.txt; each tool's last output in $OUT/KIND-TOOL.out).
bench_tree() {
    local kind=$1 dir=${TREE_DIR[$1]}
    local TREE=$dir/tree MANIFEST=$dir/manifest.txt
    local WORDS RG_ARGS=(--no-ignore -E shift_jis -i -F) w
    mapfile -t WORDS < "$dir/words.txt"
    for w in "${WORDS[@]}"; do RG_ARGS+=(-e "$w"); done

    local LABELS=() label
    declare -A CMD
    add_tool() { LABELS+=("$1"); CMD[$1]=$2; }
    # Sets CMDLINE to the command of one tool; it is run without a shell
    # between, so /usr/bin/time measures the tool itself.
    command_of() {
        case $1 in
        textrove) CMDLINE=("$TEXTROVE" "$TREE" "${WORDS[@]}") ;;
        rg-j1) CMDLINE=(rg -j1 "${RG_ARGS[@]}" "$TREE") ;;
        rg) CMDLINE=(rg "${RG_ARGS[@]}" "$TREE") ;;
        read-floor) CMDLINE=("$FLOOR" "$TREE") ;;
        gui) CMDLINE=(env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$GUI_CONFIG" "$GUI_BENCH" "$TREE" "${WORDS[@]}") ;;
        esac
    }
    run_tool() { command_of "$1"; "${CMDLINE[@]}"; }

    # A build without the search engine yet prints nothing; such a binary is left out.
    if [[ -x $TEXTROVE ]] && "$TEXTROVE" "$TREE" "${WORDS[0]}" >"$OUT/probe.out" 2>/dev/null && [[ -s $OUT/probe.out ]]; then
        add_tool textrove "textrove-search TREE words..."
    else
        say "textrove-search missing or printing nothing; left out"
    fi
    add_tool rg-j1 "rg -j1 --no-ignore -E shift_jis -i -F -e w..."
    add_tool rg "rg --no-ignore -E shift_jis -i -F -e w..."
    add_tool read-floor "read_floor TREE"
    [[ -z $GUI_BENCH ]] || add_tool gui "gui_bench TREE words..."

    say "$kind: warming the cache"
    local FLOOR_LINE VISIBLE_BYTES VISIBLE_FILES
    FLOOR_LINE=$("$FLOOR" "$TREE")
    "$FLOOR" "$TREE" >/dev/null
    VISIBLE_BYTES=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$FLOOR_LINE")
    VISIBLE_FILES=$(sed -n 's/^files=\([0-9]*\).*/\1/p' <<<"$FLOOR_LINE")
    for label in "${LABELS[@]}"; do run_tool "$label" >/dev/null 2>&1 || true; done

    # Output goes to files, not /dev/null: the hit lines are counted from
    # them, and ripgrep may search differently when its output is /dev/null.
    declare -A TIMES CPU RSS MED MEDCPU
    for label in "${LABELS[@]}"; do TIMES[$label]=""; CPU[$label]=""; RSS[$label]=0; done
    local LOAD_BEFORE LOAD_AFTER run status t0 t1 kb out="$OUT/$kind"
    LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
    for ((run = 1; run <= RUNS; run++)); do
        say "$kind: run $run/$RUNS"
        for label in "${LABELS[@]}"; do
            status=0
            t0=$EPOCHREALTIME
            command_of "$label"
            /usr/bin/time -v -o "$out-$label.time" "${RT[@]}" "${CMDLINE[@]}" >"$out-$label.out" 2>"$out-$label.err" || status=$?
            t1=$EPOCHREALTIME
            # rg exits 1 when nothing matched; anything else is a failure.
            if [[ $status -ne 0 && ! ($status -eq 1 && $label == rg*) ]]; then
                die "$label failed with status $status (see $out-$label.err)"
            fi
            TIMES[$label]+="$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }') "
            CPU[$label]+="$(awk -F': ' '/User time|System time/ { t += $2 } END { printf "%.2f", t }' "$out-$label.time") "
            kb=$(awk '/Maximum resident set size/ { print $NF }' "$out-$label.time")
            if ((kb > RSS[$label])); then RSS[$label]=$kb; fi
        done
    done
    LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
    for label in "${LABELS[@]}"; do
        MED[$label]=$(median <<<"${TIMES[$label]}")
        MEDCPU[$label]=$(median <<<"${CPU[$label]}")
    done

    local SYSCALL_LINE=""
    if [[ $SYSCALLS == 1 && -n ${MED[textrove]:-} ]]; then
        say "$kind: counting system calls"
        strace -f -c -o "$out-strace.txt" "$TEXTROVE" "$TREE" "${WORDS[@]}" >/dev/null
        SYSCALL_LINE=$(awk -v f="$VISIBLE_FILES" '
            $NF ~ /^(openat|newfstatat|fstat|statx|read|pread64|close|futex|getdents64)$/ {
                calls = ($4 ~ /^[0-9]+$/) ? $4 : 0; by[$NF] = calls }
            $NF == "total" { total = $4 }
            END { printf "system calls per file (strace -c -f, %d files): all %.2f", f, total / f
                  n = split("openat newfstatat fstat statx read pread64 close futex getdents64", k, " ")
                  for (i = 1; i <= n; ++i) if (by[k[i]] > 0) printf "  %s %.2f", k[i], by[k[i]] / f
                  printf "\n" }' "$out-strace.txt")
    fi

    {
        printf '\n=== %s: %s (%s visible files, %s bytes = %.1f MB)\n' "$kind" "$TREE" "$VISIBLE_FILES" "$VISIBLE_BYTES" \
            "$(awk -v b="$VISIBLE_BYTES" 'BEGIN { print b / 1048576 }')"
        printf 'words: %s\n' "${WORDS[*]}"
        printf 'runs per tool: %s, MB = 2^20 bytes, %s CPUs, load average before %s, after %s, scheduling %s\n\n' \
            "$RUNS" "$(nproc)" "$LOAD_BEFORE" "$LOAD_AFTER" "$SCHEDULING"
        printf '%-11s %10s %9s %12s %10s %10s %10s  %s\n' tool "median s" "MB/s" "peak RSS MB" "CPU s" \
            "hit lines" "hit files" command
        local hits files
        for label in "${LABELS[@]}"; do
            case $label in
            textrove|gui) hits=$(textrove_hits "$out-$label.out"); files=$(textrove_files "$out-$label.out") ;;
            rg*) hits=$(wc -l <"$out-$label.out"); files=$(cut -d: -f1 "$out-$label.out" | sort -u | wc -l) ;;
            *) hits=-; files=- ;;
            esac
            awk -v l="$label" -v t="${MED[$label]}" -v b="$VISIBLE_BYTES" -v r="${RSS[$label]}" \
                -v u="${MEDCPU[$label]}" -v h="$hits" -v f="$files" -v c="${CMD[$label]}" \
                'BEGIN { printf "%-11s %10.3f %9.1f %12.1f %10.2f %10s %10s  %s\n", l, t, b / 1048576 / t, r / 1024, u, h, f, c }'
        done
        if [[ -f $MANIFEST ]]; then
            awk -F= '/^planted_in_line=/ { i = $2 } /^planted_split=/ { s = $2 }
                END { printf "\nplanted in visible files: %d in a line + %d split over a break = %d\n", i, s, i + s }' "$MANIFEST"
        fi
        [[ -z $SYSCALL_LINE ]] || printf '%s\n' "$SYSCALL_LINE"
        if [[ -n ${MED[textrove]:-} ]]; then
            echo
            local other
            for other in rg-j1 rg read-floor; do
                awk -v a="${MED[textrove]}" -v b="${MED[$other]}" -v c="${MEDCPU[textrove]}" -v d="${MEDCPU[$other]}" \
                    -v o="$other" 'BEGIN { printf "textrove/%-10s %6.2f wall  %6.2f CPU  (above 1: textrove is slower)\n",
                                           o, a / b, (d > 0 ? c / d : 0) }'
            done
            if [[ -n ${MED[gui]:-} ]]; then
                awk -v a="${MED[gui]}" -v b="${MED[textrove]}" -v c="${MEDCPU[gui]}" -v d="${MEDCPU[textrove]}" \
                    'BEGIN { printf "gui/textrove      %6.2f wall  %6.2f CPU  (whole processes: Qt start-up and the window included)\n",
                                    a / b, (d > 0 ? c / d : 0) }'
            fi
        fi
    } | tee "$OUT/results-$kind.txt"

    # ---- GUI benchmark report --------------------------------------------
    # The search timed inside gui_bench from the search command to the
    # dialog's close (no start-up); the result pane's append figures with
    # the corpus only.
    if [[ -n $GUI_BENCH ]]; then
        say "$kind: GUI report, $RUNS searches through the dialog"
        local records=500000
        [[ $kind == corpus ]] || records=0
        "${RT[@]}" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$GUI_CONFIG" "$GUI_BENCH" --report --runs "$RUNS" \
            --records "$records" "$TREE" "${WORDS[@]}" >"$out-gui-report.txt" 2>"$out-gui-report.err" ||
            die "gui_bench --report failed (see $out-gui-report.err)"
        {
            echo
            cat "$out-gui-report.txt"
            local dialog
            dialog=$(awk '/^ +Menu_Start to dialog closed/ { print $5 }' "$out-gui-report.txt")
            if [[ -n ${MED[textrove]:-} && -n $dialog ]]; then
                awk -v a="$dialog" -v b="${MED[textrove]}" \
                    'BEGIN { printf "\ndialog/textrove   %6.2f wall  (search command to dialog closed, against the textrove-search process)\n", a / b }'
            fi
        } | tee -a "$OUT/results-$kind.txt"
    fi
}

for kind in "${TREE_LIST[@]}"; do bench_tree "$kind"; done
