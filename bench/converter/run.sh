#!/bin/sh
# Times mlv2dng on a 1920x1080 14-bit 240-frame clip (corrections off) against cp of the same file.
# Usage: bench/converter/run.sh [build-dir]   (run twice: the machine is shared)
set -eu
BUILD=${1:-build}
BIN="$BUILD/bin"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

now() { date +%s.%N; }

"$BIN/mlv2dng_makeclip" "$WORK/bench.MLV"
SIZE=$(stat -c %s "$WORK/bench.MLV")
cat "$WORK/bench.MLV" > /dev/null   # both contenders start from a warm page cache

for round in 1 2; do
    rm -rf "$WORK/out"; mkdir "$WORK/out"
    t0=$(now); cp "$WORK/bench.MLV" "$WORK/out/copy.MLV"; t1=$(now)
    rm -f "$WORK/out/copy.MLV"
    t2=$(now)
    "$BIN/mlv2dng" --dng --no-fixcp --no-stripes --no-cs -o "$WORK/out/B_" "$WORK/bench.MLV" > "$WORK/report.txt"
    t3=$(now)
    frames=$(ls "$WORK/out" | grep -c '\.dng$')
    awk -v cp="$(echo "$t1 - $t0" | bc)" -v conv="$(echo "$t3 - $t2" | bc)" -v size="$SIZE" -v frames="$frames" \
        -v round="$round" 'BEGIN {
            printf "round %d: cp %.2f s (%.0f MB/s); mlv2dng %d frames in %.2f s = %.1f fps (%.0f MB/s); ratio %.0f %%\n",
                round, cp, size / cp / 1e6, frames, conv, frames / conv, size / conv / 1e6, 100 * cp / conv }'
done
