#!/bin/sh
# Times korvalin-batch against a plain loop of mlv2dng and against GNU parallel on the printed commands,
# on many short generated clips. Run by hand: bench/batch/run.sh BUILD_DIR [CLIPS] [FRAMES] [JOBS]
set -eu
BUILD=${1:?usage: run.sh BUILD_DIR [CLIPS] [FRAMES] [JOBS]}
CLIPS=${2:-40}
FRAMES=${3:-24}
JOBS=${4:-2}
BIN=$(cd "$BUILD/bin" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

mkdir "$WORK/clips"
i=1
while [ "$i" -le "$CLIPS" ]; do
    "$BIN/mlv2dng_makeclip" "$WORK/clips/$(printf 'C%03d' "$i").MLV" 640 360 "$FRAMES" >/dev/null
    i=$((i + 1))
done

seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

start=$(seconds)
"$BIN/korvalin-batch" -q -j "$JOBS" --executable "$BIN/mlv2dng" -d "$WORK/batch" "$WORK/clips" >/dev/null
batch=$(elapsed "$start" "$(seconds)")

start=$(seconds)
mkdir "$WORK/loop"
for clip in "$WORK"/clips/*.MLV; do
    name=$(basename "$clip" .MLV)
    mkdir -p "$WORK/loop/$name"
    "$BIN/mlv2dng" -o "$WORK/loop/$name/${name}_" --dng --no-cs "$clip" >/dev/null
done
loop=$(elapsed "$start" "$(seconds)")

"$BIN/korvalin-batch" --print-commands --executable "$BIN/mlv2dng" -d "$WORK/parallel" "$WORK/clips" >"$WORK/commands"
start=$(seconds)
parallel -j "$JOBS" >/dev/null <"$WORK/commands"
par=$(elapsed "$start" "$(seconds)")

echo "$CLIPS clips of $FRAMES frames (640x360), $JOBS jobs"
echo "korvalin-batch -j $JOBS:      $batch s"
echo "shell loop, one at a time: $loop s"
echo "parallel -j $JOBS:           $par s"
