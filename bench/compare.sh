#!/bin/bash
# Side-by-side timings of tessarin against the tools a user would pick
# instead, on the same data. Each pair runs alternately (tessarin, peer,
# tessarin, peer, ...) so that a machine that gets busier or quieter during
# the run slows both alike; the table shows the median of each and their
# ratio (tessarin / peer: below 1 means tessarin is faster).
#
#   bench/compare.sh [--dir DIR] [--runs N] [--tessarin PATH] [--only CASE]...
#
#   --dir DIR       where the data goes (default: a new folder under /dev/shm,
#                   or under $TMPDIR when /dev/shm is missing); give a folder
#                   on a disk to measure the disk instead of memory
#   --runs N        runs of each tool per case (default 5)
#   --tessarin P    the program to measure (default: build/release/bin/tessarin
#                   of this tree, or $TESSARIN)
#   --show-runs     print every run's time under the table, to judge the
#                   noise of a busy machine
#   --only CASE     run only the named cases: cbc128, cbc128-dec, cbc256,
#                   gzip, small, small-floor, tree, memory (may be given
#                   more than once)
#
# Peers: openssl enc with a raw key and IV given as -K/-iv (no salt and no
# key stretching, so the peer does nothing but cipher), ccrypt, gzip, GNU
# time for the peak memory, and durable_floor (bench/DurableFloor.c: the
# least work a crash-safe replacement of a tree does, no cipher; taken from
# the bench preset's build, else compiled here with cc). A missing peer is
# reported and its case skipped; it is not a failure. tessarin runs with its
# saved settings ignored (--defaults), no log, a password file, and options
# that match the peer's work: the same key and block size, originals
# replaced. The tree case sets tessarin against itself: 64 files of 4 MiB
# against one file of 256 MiB, where a batch can use every core.
set -u

here=$(cd "$(dirname "$0")" && pwd)
runs=5
dir=
tessarin=${TESSARIN:-$here/../build/release/bin/tessarin}
only=()
show_runs=0

usage() { sed -n '2,31p' "$0" | sed 's/^# \{0,1\}//'; exit "$1"; }

while [ $# -gt 0 ]; do
    case "$1" in
    --dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --tessarin) tessarin=$2; shift 2 ;;
    --only) only+=("$2"); shift 2 ;;
    --show-runs) show_runs=1; shift ;;
    -h|--help) usage 0 ;;
    *) echo "compare.sh: unknown option '$1'" >&2; usage 2 >&2 ;;
    esac
done

case "$runs" in ''|*[!0-9]*|0) echo "compare.sh: --runs needs a positive number" >&2; exit 2 ;; esac
if [ ! -x "$tessarin" ]; then
    echo "compare.sh: no tessarin at '$tessarin' (build the release preset, or give --tessarin)" >&2
    exit 2
fi
tessarin=$(cd "$(dirname "$tessarin")" && pwd)/$(basename "$tessarin")

if [ -z "$dir" ]; then
    base=/dev/shm
    [ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
    dir=$(mktemp -d "$base/tessarin-compare-XXXXXX") || exit 2
    made_dir=1
else
    mkdir -p "$dir" || exit 2
    dir=$(mktemp -d "$dir/tessarin-compare-XXXXXX") || exit 2
    made_dir=1
fi
cleanup() { [ "${made_dir:-0}" = 1 ] && rm -rf "$dir"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

wanted() {
    [ ${#only[@]} -eq 0 ] && return 0
    local c
    for c in "${only[@]}"; do [ "$c" = "$1" ] && return 0; done
    return 1
}

have() { command -v "$1" >/dev/null 2>&1; }

# tessarin's own corner: settings, state and the private runtime folder.
home=$dir/home
mkdir -p "$home/.config" "$home/.state" "$home/run"
chmod 700 "$home/run"
printf 'compare password\n' >"$dir/password"
# Raw 256-bit key and IV for openssl; ccrypt reads its keyword from a file.
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff
printf 'compare password\n' >"$dir/keyword"

tess() {
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.state XDG_RUNTIME_DIR=$home/run \
        "$tessarin" --defaults --no-log --password-file "$dir/password" -q "$@"
}

# Seconds a command takes, to the microsecond; its output is dropped and a
# failure ends the script, as a timing of a failed run means nothing.
seconds() {
    local start end
    start=$(date +%s%N)
    if ! "$@" >/dev/null 2>"$dir/stderr"; then
        echo "compare.sh: failed: $*" >&2
        cat "$dir/stderr" >&2
        exit 1
    fi
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", (b - a) / 1e9 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rows=()
row() {  # work, peer, tessarin median, peer median, goal
    local ratio
    ratio=$(awk -v t="$3" -v p="$4" 'BEGIN { printf "%.2f", t / p }')
    rows+=("$(printf '| %-44s | %-30s | %9.3f s | %9.3f s | %6s | %-7s |' "$1" "$2" "$3" "$4" "$ratio" "$5")")
}
runs_seen=()
skipped=()
skip() { skipped+=("$1: $2"); }

# A pair timed alternately: prepare_t and run_t for tessarin, prepare_p and
# run_p for the peer; preparing is not timed.
pair() {
    local what=$1 peer=$2 goal=$3 i t p
    local ts=() ps=()
    for ((i = 0; i < runs; i++)); do
        prepare_t
        t=$(seconds run_t) || exit 1
        ts+=("$t")
        prepare_p
        p=$(seconds run_p) || exit 1
        ps+=("$p")
    done
    row "$what" "$peer" "$(printf '%s\n' "${ts[@]}" | median)" "$(printf '%s\n' "${ps[@]}" | median)" "$goal"
    runs_seen+=("$what: tessarin ${ts[*]}; $peer ${ps[*]}")
}

random_file() {  # path, MiB
    head -c "$(($2 * 1048576))" /dev/urandom >"$1"
}

# Text that compresses like text: lines of words drawn from a fixed list,
# 1 MiB made once and repeated (gzip's window is 32 KiB, so the repeats
# do not help it).
text_file() {  # path, MiB
    awk 'BEGIN {
        srand(42)
        n = split("the of and to in is that for it as was with be by on not he this are or his from at which but have an they you were her she there one all we their has been if more when will would who so no time can out up into about than them only other new some could these two may first then do any like my now over such our man me even most made after also did many before must through back years where much your way well down should because each just those people how too little state good very make world still own see men work long get here between both life being under never day same another know while last might us great old year off come since against go came right used take three",
               w, " ")
        line = ""
        for (bytes = 0; bytes < 1048576; ) {
            word = w[int(rand() * 200) + 1]
            if (length(line) + length(word) + 1 > 72) { print line; bytes += length(line) + 1; line = "" }
            line = line (line == "" ? "" : " ") word
        }
    }' >"$dir/text1m"
    : >"$1"
    local i
    for ((i = 0; i < $2; i++)); do cat "$dir/text1m" >>"$1"; done
}

echo "tessarin vs peers: $runs alternating runs each, medians; ratio = tessarin / peer (below 1: tessarin faster)"
echo "data in $dir ($(df -hT "$dir" 2>/dev/null | awk 'NR == 2 { print $2 }'))"
echo "program: $tessarin"
echo "cpu: $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null), $(nproc 2>/dev/null) cores"
flags=$(awk -F': ' '/^flags/ { print $2; exit }' /proc/cpuinfo 2>/dev/null |
    tr ' ' '\n' | grep -E '^(aes|vaes|pclmulqdq|vpclmulqdq|sse4_1|sse4_2|ssse3|avx|avx2|avx512f|avx512bw|avx512vl|sha_ni|gfni)$' | tr '\n' ' ')
echo "cpu flags: ${flags:-unknown}"
echo

plain=$dir/plain.bin
work=$dir/work

# --- 256 MiB, CBC, block 128, key 256, against openssl enc -aes-256-cbc
if wanted cbc128 || wanted cbc128-dec; then
    random_file "$plain" 256
fi
if wanted cbc128; then
    if have openssl; then
        prepare_t() { rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"; }
        run_t() { tess -e -k 256 -b 128 -m cbc -z none --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f"; }
        prepare_p() { rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"; }
        run_p() { openssl enc -aes-256-cbc -K "$key" -iv "$iv" -in "$work/f" -out "$work/f.enc" && rm "$work/f"; }
        pair "encrypt 256 MiB, CBC, block 128, key 256" "openssl enc -aes-256-cbc -K -iv" "<= 0.8"
    else
        skip "encrypt 256 MiB CBC block 128" "openssl is not installed"
    fi
fi
if wanted cbc128-dec; then
    if have openssl; then
        rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"
        tess -e -k 256 -b 128 -m cbc -z none --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f" >/dev/null
        mv "$work/f" "$dir/container.bin"
        openssl enc -aes-256-cbc -K "$key" -iv "$iv" -in "$plain" -out "$dir/openssl.bin"
        prepare_t() { rm -rf "$work"; mkdir "$work"; cp "$dir/container.bin" "$work/f"; }
        run_t() { tess -d -k 256 -b 128 -m cbc --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f"; }
        prepare_p() { rm -rf "$work"; mkdir "$work"; cp "$dir/openssl.bin" "$work/f.enc"; }
        run_p() { openssl enc -d -aes-256-cbc -K "$key" -iv "$iv" -in "$work/f.enc" -out "$work/f" && rm "$work/f.enc"; }
        pair "decrypt the same" "openssl enc -d -aes-256-cbc" "<= 0.7"
        rm -f "$dir/container.bin" "$dir/openssl.bin"
    else
        skip "decrypt 256 MiB CBC block 128" "openssl is not installed"
    fi
fi

# --- 256 MiB, CBC, block 256, key 256, against ccrypt (Rijndael, 256-bit block)
if wanted cbc256; then
    if have ccrypt; then
        [ -f "$plain" ] || random_file "$plain" 256
        prepare_t() { rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"; }
        run_t() { tess -e -k 256 -b 256 -m cbc -z none --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f"; }
        prepare_p() { rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"; }
        run_p() { ccrypt -e -f -k "$dir/keyword" "$work/f"; }
        pair "encrypt 256 MiB, CBC, block 256, key 256" "ccrypt -e" "<= 0.125"
    else
        skip "encrypt 256 MiB CBC block 256" "ccrypt is not installed (Debian package ccrypt)"
    fi
fi
rm -f "$plain"

# --- gzip "normal" plus encryption of 64 MiB of text, against gzip -5 alone
if wanted gzip; then
    if have gzip; then
        text_file "$dir/text.txt" 64
        prepare_t() { rm -rf "$work"; mkdir "$work"; cp "$dir/text.txt" "$work/f.txt"; }
        run_t() { tess -e -k 256 -b 128 -m cbc -z gzip -l normal --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f.txt"; }
        prepare_p() { rm -rf "$work"; mkdir "$work"; cp "$dir/text.txt" "$work/f.txt"; }
        run_p() { gzip -5 "$work/f.txt"; }
        pair "gzip normal + encrypt, 64 MiB of text" "gzip -5" "<= 0.67"
        rm -f "$dir/text.txt" "$dir/text1m"
    else
        skip "gzip and encrypt 64 MiB" "gzip is not installed"
    fi
fi

# durable_floor, from the bench preset's build when it is not older than its
# source, else compiled into the data folder; empty when there is no compiler.
floor_program() {
    local src=$here/DurableFloor.c built=$here/../build/bench/bin/durable_floor
    if [ -x "$built" ] && [ ! "$src" -nt "$built" ]; then
        echo "$built"
    elif have cc && cc -O2 -o "$dir/durable_floor" "$src" 2>"$dir/cc.txt"; then
        echo "$dir/durable_floor"
    fi
}

# --- 10,000 files of 4 KiB in 100 folders, in place, recursive, against
# ccrypt -r and against the durable floor
small_tree() {
    tree=$dir/tree0
    [ -d "$tree" ] && return
    mkdir -p "$tree"
    for ((d = 0; d < 100; d++)); do
        sub=$(printf '%s/d%02d' "$tree" "$d")
        mkdir "$sub"
        head -c $((100 * 4096)) /dev/urandom | (cd "$sub" && split -b 4096 -a 2 -d - f)
    done
}
small_t() { tess -e -r -k 256 -b 256 -m cbc -z none --aes-ext --no-mangle --no-keep --no-wipe "$work"; }
if wanted small; then
    if have ccrypt; then
        small_tree
        prepare_t() { rm -rf "$work"; cp -a "$tree" "$work"; }
        run_t() { small_t; }
        prepare_p() { rm -rf "$work"; cp -a "$tree" "$work"; }
        run_p() { ccrypt -e -r -f -k "$dir/keyword" "$work"; }
        pair "10,000 files of 4 KiB in 100 folders, -r" "ccrypt -e -r" "<= 1.0"
    else
        skip "10,000 small files" "ccrypt is not installed (Debian package ccrypt)"
    fi
fi
if wanted small-floor; then
    floor=$(floor_program)
    if [ -n "$floor" ]; then
        small_tree
        prepare_t() { rm -rf "$work"; cp -a "$tree" "$work"; }
        run_t() { small_t; }
        prepare_p() { rm -rf "$work"; cp -a "$tree" "$work"; }
        run_p() { "$floor" "$work"; }
        pair "10,000 files of 4 KiB in 100 folders, -r" "durable_floor (no cipher)" "<= 1.5"
    else
        skip "10,000 small files against the floor" "no durable_floor and no working cc to build it"
    fi
fi
rm -rf "${tree:-}" "$work"

# --- 64 files of 4 MiB in 8 folders against one file of 256 MiB, both
# tessarin: the files of a tree are independent, so a batch can keep every
# core busy where one file's chaining cannot
if wanted tree; then
    random_file "$plain" 256
    tree=$dir/tree64
    for ((d = 0; d < 8; d++)); do
        sub=$(printf '%s/d%d' "$tree" "$d")
        mkdir -p "$sub"
        tail -c +$((d * 32 * 1048576 + 1)) "$plain" | head -c $((32 * 1048576)) | (cd "$sub" && split -b 4M -a 1 -d - f)
    done
    prepare_t() { rm -rf "$work"; cp -a "$tree" "$work"; }
    run_t() { tess -e -r -k 256 -b 128 -m cbc -z none --no-aes-ext --no-mangle --no-keep "$work"; }
    prepare_p() { rm -rf "$work"; mkdir "$work"; cp "$plain" "$work/f"; }
    run_p() { tess -e -k 256 -b 128 -m cbc -z none --no-aes-ext --no-mangle --no-keep --no-recursive "$work/f"; }
    pair "64 files of 4 MiB in 8 folders, -r" "tessarin, one file of 256 MiB" "<= 0.6"
    rm -rf "$tree" "$work" "$plain"
fi

# --- peak memory of a 1 GiB file
memory=
if wanted memory; then
    if [ -x /usr/bin/time ] && /usr/bin/time -v true >/dev/null 2>&1; then
        mkdir -p "$work"
        random_file "$work/big" 1024
        peak=0
        for setting in "-z none" "-z gzip -l fastest"; do
            # shellcheck disable=SC2086
            HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.state XDG_RUNTIME_DIR=$home/run \
                /usr/bin/time -v "$tessarin" --defaults --no-log --password-file "$dir/password" -q \
                -e -k 256 -b 128 -m cbc $setting --no-aes-ext --no-mangle --no-keep --no-recursive "$work/big" \
                >/dev/null 2>"$dir/time.txt" || { echo "compare.sh: the 1 GiB run failed" >&2; cat "$dir/time.txt" >&2; exit 1; }
            kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
            [ "${kib:-0}" -gt "$peak" ] && peak=$kib
            # The container (named after the compressed content when
            # compressed) replaced the file: decrypt the folder back for the
            # next setting.
            tess -d -k 256 -b 128 -m cbc --no-aes-ext --no-mangle --no-keep --no-recursive "$work/*" >/dev/null
        done
        memory=$(awk -v k="$peak" 'BEGIN { printf "%.1f MiB", k / 1024 }')
        # Four workers at once, each on a file of its own: every extra
        # worker may hold its own chunk buffers, nothing more.
        rm -rf "$work"
        mkdir -p "$work"
        for ((i = 0; i < 4; i++)); do random_file "$work/q$i" 256; done
        HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.state XDG_RUNTIME_DIR=$home/run \
            /usr/bin/time -v "$tessarin" --defaults --no-log --password-file "$dir/password" -q --jobs 4 \
            -e -k 256 -b 128 -m cbc -z none --no-aes-ext --no-mangle --no-keep --no-recursive "$work/*" \
            >/dev/null 2>"$dir/time.txt" || { echo "compare.sh: the run of four files failed" >&2; cat "$dir/time.txt" >&2; exit 1; }
        kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
        memory_jobs=$(awk -v k="${kib:-0}" 'BEGIN { printf "%.1f MiB", k / 1024 }')
        rm -rf "$work"
    else
        skip "peak memory" "GNU time (/usr/bin/time -v) is not installed (Debian package time)"
    fi
fi

printf '| %-44s | %-30s | %11s | %11s | %6s | %-7s |\n' "work" "peer" "tessarin" "peer" "ratio" "goal"
printf '|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..46})" "$(printf -- '-%.0s' {1..32})" \
    "$(printf -- '-%.0s' {1..13})" "$(printf -- '-%.0s' {1..13})" "$(printf -- '-%.0s' {1..8})" "$(printf -- '-%.0s' {1..9})"
for r in "${rows[@]}"; do echo "$r"; done
[ -n "$memory" ] && printf '| %-44s | %-30s | %11s | %11s | %6s | %-7s |\n' \
    "peak memory, 1 GiB file (none; gzip fastest)" "-" "$memory" "-" "-" "<= 32 MiB"
[ -n "${memory_jobs:-}" ] && printf '| %-44s | %-30s | %11s | %11s | %6s | %-7s |\n' \
    "peak memory, 4 files of 256 MiB, --jobs 4" "-" "$memory_jobs" "-" "-" "<= 56 MiB"
if [ "$show_runs" = 1 ]; then
    for r in "${runs_seen[@]}"; do echo "runs, $r"; done
fi
for s in "${skipped[@]}"; do echo "skipped: $s"; done
exit 0
