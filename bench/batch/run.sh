#!/bin/sh
# Times korvalin-batch against GNU parallel on the commands korvalin-batch prints, and against a plain loop of
# mlv2dng, on many short generated clips; the best of RUNS runs of each, and korvalin-batch's time over parallel's.
# Run by hand: bench/batch/run.sh BUILD_DIR ["CLIP COUNTS"] [FRAMES] [JOBS] [RUNS]
set -eu
BUILD=${1:?usage: run.sh BUILD_DIR ["CLIP COUNTS"] [FRAMES] [JOBS] [RUNS]}
COUNTS=${2:-40 200}
FRAMES=${3:-24}
JOBS=${4:-2}
RUNS=${5:-3}
BIN=$(cd "$BUILD/bin" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

seconds() { date +%s.%N; }
# The best of RUNS runs of the command, each into a fresh $WORK/out.
best() {
    result=
    run=1
    while [ "$run" -le "$RUNS" ]; do
        rm -rf "$WORK/out"
        mkdir "$WORK/out"
        start=$(seconds)
        "$@" >/dev/null 2>&1 || true
        took=$(echo "$(seconds) - $start" | bc)
        if [ -z "$result" ] || [ "$(echo "$took < $result" | bc)" -eq 1 ]; then result=$took; fi
        run=$((run + 1))
    done
    printf '%.2f' "$result"
}
batch() { "$BIN/korvalin-batch" -q -j "$JOBS" --executable "$BIN/mlv2dng" -d "$WORK/out" "$WORK/clips"; }
loop() {
    for clip in "$WORK"/clips/*.MLV; do
        name=$(basename "$clip" .MLV)
        mkdir -p "$WORK/out/$name"
        "$BIN/mlv2dng" -o "$WORK/out/$name/${name}_" --dng --no-cs "$clip"
    done
}
viaParallel() { parallel -j "$JOBS" <"$WORK/commands"; }

echo "clips of $FRAMES frames (640x360), -j $JOBS, best of $RUNS runs, seconds"
echo "| clips | korvalin-batch | parallel on --print-commands | plain loop | batch / parallel |"
echo "|---|---|---|---|---|"
for clips in $COUNTS; do
    rm -rf "$WORK/clips"
    mkdir "$WORK/clips"
    i=1
    while [ "$i" -le "$clips" ]; do
        "$BIN/mlv2dng_makeclip" "$WORK/clips/$(printf 'C%03d' "$i").MLV" 640 360 "$FRAMES" >/dev/null
        i=$((i + 1))
    done
    "$BIN/korvalin-batch" --print-commands --executable "$BIN/mlv2dng" -d "$WORK/out" "$WORK/clips" >"$WORK/commands"
    b=$(best batch)
    p=$(best viaParallel)
    l=$(best loop)
    echo "| $clips | $b | $p | $l | $(printf "%.2f" "$(echo "scale=3; $b / $p" | bc)") |"
done
