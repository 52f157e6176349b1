#!/bin/bash
# Converts the same clips with the Linux mlv2dng and with mlv2dng.exe under Wine, and compares the
# exit codes, every file written (DNG and WAV, byte for byte) and the reports (timings aside).
# Usage: windows-check.sh LINUX_BIN_DIR MLV2DNG_EXE   (`make windows-check` passes both)
set -u

if [ $# -ne 2 ] || [ ! -x "$1/mlv2dng" ] || [ ! -x "$1/mlv2dng_checkclips" ] || [ ! -f "$2" ]; then
    echo "usage: $0 LINUX_BIN_DIR MLV2DNG_EXE (the folder holds mlv2dng and mlv2dng_checkclips)" >&2
    exit 2
fi
linux_exe=$(realpath "$1/mlv2dng")
clip_writer=$(realpath "$1/mlv2dng_checkclips")
windows_exe=$(realpath "$2")
started=$(date +%s.%N)

work=$(mktemp -d "${TMPDIR:-/tmp}/korvalin-windows-check.XXXXXX")
# A prefix of our own, no debug chatter, no offer to install Mono or Gecko, and a UTF-8 locale so
# Wine hands non-ASCII arguments and file names over unchanged.
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
# Wine's server keeps its socket under TMPDIR: inside the work folder, it goes with it.
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
cleanup() {
    wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

unicode_dir="Drehtag 3 Straße"
mkdir -p "$work/in/$unicode_dir" "$work/linux" "$work/wine"
echo "Writing the clips to $work/in"
"$clip_writer" "$work/in" || exit 1
for side in linux wine; do
    ln -s ../in "$work/$side/in"
done
echo "Starting Wine in $WINEPREFIX"
wineboot --init >/dev/null 2>&1
wineserver -p >/dev/null 2>&1

now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# Both reports with the program's name and the path separator made alike, timings dropped. A run
# that stops at a damaged frame has read on by as many blocks as its threads happened to allow, so
# there the block and sound byte counts go too (and the sound itself, compared only where the run
# goes to the end).
normalise() {
    local stopped=()
    [ -n "$stops" ] && stopped=(-e '/^Video blocks: /d' -e '/^Chunk [0-9]*: [0-9]* blocks read$/d'
        -e 's#^(Wrote audio: .*) \([0-9]+ bytes of sound\)$#\1#')
    sed -E -e 's#\\#/#g' -e 's#[^ (]*mlv2dng(\.exe)?#mlv2dng#g' -e '/^Processed /d' "${stopped[@]}" "$1"
}

passed=0
failed=0
linux_total=0
wine_total=0
case_number=0

# check LABEL ARGUMENTS...: arguments use '/', which Wine's side gets as '\', as a Windows user types them.
# With stops set, the run is expected to stop at a damaged frame; with forward_slashes set, Wine's
# side gets '/' as well.
stops=""
forward_slashes=""
check() {
    local label=$1
    shift
    case_number=$((case_number + 1))
    local n=$case_number
    local arguments=() wine_arguments=() argument previous=""
    for argument in "$@"; do
        # Each run writes to its own folder: out/N/ plus the input's folder.
        if [ "$previous" = "-o" ]; then
            argument="out/$n/$argument"
        fi
        arguments+=("$argument")
        if [ -n "$forward_slashes" ]; then
            wine_arguments+=("$argument")
        else
            wine_arguments+=("${argument//\//\\}")
        fi
        previous=$argument
    done
    for side in linux wine; do
        mkdir -p "$work/$side/out/$n/$unicode_dir"
    done

    local t0 t1 t2 linux_code wine_code
    t0=$(now)
    (cd "$work/linux" && "$linux_exe" "${arguments[@]}" >"$n.out" 2>"$n.err")
    linux_code=$?
    t1=$(now)
    (cd "$work/wine" && wine "$windows_exe" "${wine_arguments[@]}" >"$n.out" 2>"$n.err" </dev/null)
    wine_code=$?
    t2=$(now)

    local problems=()
    [ "$linux_code" = "$wine_code" ] || problems+=("exit codes differ")
    local excluded=()
    [ -n "$stops" ] && excluded=(-x '*.wav')
    diff -r "${excluded[@]}" "$work/linux/out/$n" "$work/wine/out/$n" >"$work/$n.diff" 2>&1 \
        || problems+=("files differ")
    for stream in out err; do
        cmp -s <(normalise "$work/linux/$n.$stream") <(normalise "$work/wine/$n.$stream") \
            || problems+=("std$stream differs")
    done
    [ -z "$(find "$work/linux/out/$n" "$work/wine/out/$n" -name '*.part')" ] || problems+=("a .part file was left")
    local files
    files=$(find "$work/linux/out/$n" -type f | wc -l)

    local linux_seconds wine_seconds
    linux_seconds=$(seconds "$t0" "$t1")
    wine_seconds=$(seconds "$t1" "$t2")
    linux_total=$(awk -v a="$linux_total" -v b="$linux_seconds" 'BEGIN { print a + b }')
    wine_total=$(awk -v a="$wine_total" -v b="$wine_seconds" 'BEGIN { print a + b }')
    if [ ${#problems[@]} -eq 0 ]; then
        passed=$((passed + 1))
        printf 'PASS  %-52s exit %s  %3s files  Linux %6ss  Wine %6ss\n' "$label" "$linux_code" "$files" \
            "$linux_seconds" "$wine_seconds"
    else
        failed=$((failed + 1))
        printf 'FAIL  %-52s exit %s/%s  %3s files  %s\n' "$label" "$linux_code" "$wine_code" "$files" \
            "$(IFS=,; echo "${problems[*]}")"
        head -n 5 "$work/$n.diff"
        diff <(normalise "$work/linux/$n.err") <(normalise "$work/wine/$n.err") | head -n 6
    fi
}

declare -A option_sets=(
    ["defaults"]=""
    ["corrections off"]="--no-fixcp --no-stripes --no-cs"
    ["--cs3x3"]="--cs3x3"
    ["--relaxed"]="--relaxed"
)
for clip in u10 u12 u14 lossless spanned sound damaged "$unicode_dir/Café Müller é ü ß"; do
    for set in "defaults" "corrections off" "--cs3x3" "--relaxed"; do
        stops=""
        [ "$clip" = damaged ] && [ "$set" != "--relaxed" ] && stops=yes
        # shellcheck disable=SC2086
        check "$clip, $set" --dng ${option_sets[$set]} -o "${clip}_" "in/$clip.MLV"
    done
done
stops=""
check "large (frames past 4 GiB), defaults" --dng -o large_ in/large.MLV
check "-v" --dng -v -o u12_ in/u12.MLV
forward_slashes=yes
check "'/' in Windows paths too" --dng -o "$unicode_dir/spanned_" in/spanned.MLV
forward_slashes=""
check "a folder as input" --dng -o x_ "in/$unicode_dir"
check "missing input" --dng -o x_ in/missing.MLV
check "missing output folder" --dng -o "nowhere/x_" in/u14.MLV
check "unknown option" --dng --bogus in/u14.MLV
check "--help" --help
check "--version" --version

elapsed=$(seconds "$started" "$(now)")
echo "Conversion time: Linux ${linux_total} s, Wine ${wine_total} s (Wine's includes starting each run)"
echo "windows-check: $passed passed, $failed failed in ${elapsed} s"
[ "$failed" -eq 0 ]
