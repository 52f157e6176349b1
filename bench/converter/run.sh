#!/bin/sh
# Times mlv2dng on 1920x1080 14-bit 240-frame clips against cp of the same file: corrections off,
# the defaults, --fixcp2, each chroma smoothing size, a clip with stripes, and the lossless copy;
# then lossless-JPEG DNGs (-c) against packed ones, focus pixels on an EOS M 1080p and a 100D 3x crop clip
# (defaults against --no-fixfp, and the time to build the map), and the encoder alone on one core.
# Usage: bench/converter/run.sh [build-dir] [rounds]   (the machine is shared: look at the load)
# Ratios are against the first "off" run; "off, again" shows how much the machine itself drifts.
set -eu
BUILD=${1:-build}
ROUNDS=${2:-2}
BIN="$BUILD/bin"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

"$BIN/mlv2dng_makeclip" "$WORK/plain.MLV"
"$BIN/mlv2dng_makeclip" --stripes "$WORK/striped.MLV"
"$BIN/mlv2dng_makeclip" --lossless "$WORK/lossless.MLV"
# The widest 16:9 windows of those cameras' raw buffers, focus pixels 8 % brighter than the scene.
"$BIN/mlv2dng_makeclip" --camera=eosm-1080p "$WORK/eosm1080p.MLV" 1736 976 240
"$BIN/mlv2dng_makeclip" --camera=100d-crop "$WORK/100dcrop.MLV" 1728 972 240
FRAMES=240
MEGAPIXELS=$(echo "1920 * 1080 / 1000000" | bc -l)
CORES=$(nproc)

# Runs one conversion into a fresh folder and prints its wall time and CPU time (user + system),
# the latter being less disturbed by other work on the machine.
convert() {
    clip=$1; shift
    rm -rf "$WORK/out"; mkdir "$WORK/out"; sync   # no write-back of the last run during this one
    /usr/bin/time -f "%e %U %S" -o "$WORK/time.txt" \
        "$BIN/mlv2dng" --dng "$@" -o "$WORK/out/B_" "$WORK/$clip" > "$WORK/report.txt"
    written=$(ls "$WORK/out" | grep -c '\.dng$')
    [ "$written" -eq "$FRAMES" ] || { echo "only $written frames written" >&2; exit 1; }
    du -s -b "$WORK/out" | cut -f1 > "$WORK/bytes.txt"
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$WORK/time.txt"
}

timed_cp() {
    rm -rf "$WORK/out"; mkdir "$WORK/out"; sync
    t0=$(now); cp "$WORK/plain.MLV" "$WORK/out/copy.MLV"; t1=$(now)
    elapsed "$t0" "$t1"
}

for round in $(seq "$ROUNDS"); do
    cat "$WORK"/*.MLV > /dev/null   # every contender starts from a warm page cache
    echo "== round $round, load average $(cut -d' ' -f1-3 /proc/loadavg), $CORES cores"
    # The first big write after the clips were made is slow whoever does it: one untimed of each.
    timed_cp > /dev/null
    convert plain.MLV --no-fixcp --no-stripes --no-cs > /dev/null
    cp_time=$(timed_cp)
    size=$(stat -c %s "$WORK/plain.MLV")
    off_run=$(convert plain.MLV --no-fixcp --no-stripes --no-cs)
    off=${off_run% *}
    off_cpu=${off_run#* }
    awk -v cp="$cp_time" -v conv="$off" -v size="$size" -v frames="$FRAMES" 'BEGIN {
        printf "cp %.2f s (%.0f MB/s); corrections off: %.2f s = %.1f fps (%.0f MB/s), %.0f %% of cp throughput\n",
            cp, size / cp / 1e6, conv, frames / conv, size / conv / 1e6, 100 * cp / conv }'
    printf "%-26s %7s %8s %7s %7s %9s\n" "configuration" "wall s" "fps" "x off" "CPU s" "CPU x off"
    report() {
        awk -v name="$1" -v t="${2% *}" -v cpu="${2#* }" -v off="$off" -v offcpu="$off_cpu" -v frames="$FRAMES" \
            'BEGIN { printf "%-26s %7.2f %8.1f %7.2f %7.2f %9.2f\n", name, t, frames / t, t / off, cpu, cpu / offcpu }'
    }
    report "off" "$off_run"
    report "defaults" "$(convert plain.MLV)"
    report "defaults, striped clip" "$(convert striped.MLV)"
    report "--fixcp2" "$(convert plain.MLV --fixcp2)"
    report "--cs2x2" "$(convert plain.MLV --cs2x2)"
    report "--cs3x3" "$(convert plain.MLV --cs3x3)"
    report "--cs5x5" "$(convert plain.MLV --cs5x5)"
    report "off, again" "$(convert plain.MLV --no-fixcp --no-stripes --no-cs)"
    echo "cp, again: $(timed_cp) s"
    lossless_off=$(convert lossless.MLV --no-fixcp --no-stripes --no-cs)
    report "lossless, off" "$lossless_off"
    report "lossless, defaults" "$(convert lossless.MLV)"
    awk -v t="${lossless_off% *}" -v cpu="${lossless_off#* }" -v mp="$MEGAPIXELS" -v frames="$FRAMES" \
        -v cores="$CORES" 'BEGIN {
        printf "lossless end to end (decode, pack, write): %.0f MP/s, %.0f MP/s per core by wall time, %.0f MP/s per CPU second\n",
            frames * mp / t, frames * mp / t / cores, frames * mp / cpu }'

    # Lossless-JPEG DNGs: each configuration packed and with -c; bytes are the whole output folder.
    printf "%-30s %7s %8s %7s %11s %9s\n" "-c against packed" "wall s" "fps" "CPU s" "MB written" "x packed"
    for clip in plain lossless; do
        for config in off defaults; do
            options=""
            [ "$config" = off ] && options="--no-fixcp --no-stripes --no-cs"
            for compress in "" -c; do
                # shellcheck disable=SC2086  # options are separate words
                timing=$(convert "$clip.MLV" $compress $options)
                bytes=$(cat "$WORK/bytes.txt")
                [ -z "$compress" ] && packed=$bytes
                awk -v name="$clip, $config${compress:+, -c}" -v t="${timing% *}" -v cpu="${timing#* }" \
                    -v bytes="$bytes" -v packed="$packed" -v frames="$FRAMES" \
                    'BEGIN { printf "%-30s %7.2f %8.1f %7.2f %11.1f %9.3f\n", name, t, frames / t, cpu, bytes / 1e6, bytes / packed }'
            done
        done
    done
    # Focus pixels: each clip with the defaults and without the fix, alternately three times; the fastest
    # of each counts, since writing the DNGs dominates and the machine is shared. "x off" is against the latter.
    printf "%-30s %7s %8s %7s %7s %9s\n" "focus pixels, best of 3" "wall s" "fps" "x off" "CPU s" "map ms"
    fastest() { printf "%s\n%s\n" "$1" "$2" | sort -n | head -1; }
    for clip in eosm1080p 100dcrop; do
        fixed="999 999"; unfixed="999 999"
        for attempt in 1 2 3; do
            fixed=$(fastest "$fixed" "$(convert "$clip.MLV")")
            map=$(sed -n 's/.*map built in \([0-9.]*\) ms.*/\1/p' "$WORK/report.txt")
            unfixed=$(fastest "$unfixed" "$(convert "$clip.MLV" --no-fixfp)")
        done
        for run in "defaults|$fixed|$map" "--no-fixfp|$unfixed|-"; do
            name=${run%%|*}; rest=${run#*|}; timing=${rest%|*}
            awk -v name="$clip, $name" -v t="${timing% *}" -v cpu="${timing#* }" -v off="${unfixed% *}" \
                -v map="${rest##*|}" -v frames="$FRAMES" \
                'BEGIN { printf "%-30s %7.2f %8.1f %7.2f %7.2f %9s\n", name, t, frames / t, t / off, cpu, map }'
        done
    done
done
echo "== the encoder alone (one core; median of repeated frames)"
"$BIN/bench_lj92" 2 | grep '^encoder'
