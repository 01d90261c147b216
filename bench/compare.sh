#!/bin/bash
# One comparison of the ways to re-encode the same MP3 files at 128 kbit/s joint stereo (LAME quality 4, as the program encodes CBR):
# mp3recast-cli at -j 1 and at its default -j (one worker per core), the window's run (settings key
# Jobs at its default), direct libmpg123 + LAME calls one file after another, and ffmpeg one file after
# another. Methods alternate within each round, so none gains from a warmer cache; medians are reported.
#
# Usage: bash bench/compare.sh [BIN_DIR, default build/bench/bin] [ROUNDS, default 3]
# Inputs (made here with ffmpeg, noise-and-tone mixes with ID3v2 tags and cover art): 20 files of about
# four minutes (CBR 192 and 320, VBR, one at 48 kHz, one mono) and one 60-minute file.
set -euo pipefail

bin=$(realpath "${1:-build/bench/bin}")
rounds=${2:-3}
cores=$(nproc)
root=$(mktemp -d /tmp/mp3recast-compare.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/in" "$root/long"

ffmpeg -loglevel error -f lavfi -i "color=c=0x336699:s=500x500" -frames:v 1 "$root/cover.png"

# make NAME SECONDS FREQUENCY CHANNELS RATE ENCODER-OPTIONS...
make_input() {
    local name=$1 seconds=$2 frequency=$3 channels=$4 rate=$5
    shift 5
    ffmpeg -loglevel error -f lavfi -i "sine=frequency=$frequency:sample_rate=$rate:duration=$seconds" \
        -f lavfi -i "anoisesrc=color=pink:amplitude=0.25:sample_rate=$rate:duration=$seconds" \
        -i "$root/cover.png" \
        -filter_complex "[0:a][1:a]amix=inputs=2:normalize=0,aformat=channel_layouts=$([ "$channels" = 1 ] && echo mono || echo stereo)[a]" \
        -map "[a]" -map 2:v -c:v copy -c:a libmp3lame "$@" -id3v2_version 3 \
        -metadata title="曲 $name" -metadata artist="演奏者" -metadata album="ベンチマーク" \
        -metadata:s:v comment="Cover (front)" "$name"
}

for i in $(seq -w 1 20); do
    seconds=$((225 + 3 * 10#$i))
    case $i in
    01) make_input "$root/in/$i.mp3" $seconds 330 2 48000 -b:a 192k ;;   # 48 kHz
    02) make_input "$root/in/$i.mp3" $seconds 350 1 44100 -b:a 128k ;;   # mono
    *)
        case $((10#$i % 3)) in
        0) make_input "$root/in/$i.mp3" $seconds $((200 + 20 * 10#$i)) 2 44100 -b:a 192k ;;
        1) make_input "$root/in/$i.mp3" $seconds $((200 + 20 * 10#$i)) 2 44100 -b:a 320k ;;
        2) make_input "$root/in/$i.mp3" $seconds $((200 + 20 * 10#$i)) 2 44100 -q:a 2 ;;     # VBR
        esac
        ;;
    esac
done
make_input "$root/long/long.mp3" 3600 440 2 44100 -b:a 192k
single="$root/in/05.mp3"

now() { date +%s.%N; }
# run NAME COMMAND...: the wall time of the command, appended to $root/NAME.times
run() {
    local name=$1
    shift
    rm -rf "$root/out" && mkdir -p "$root/out" "$root/work"
    local start end
    start=$(now)
    "$@" >"$root/$name.last" 2>&1 || { echo "$name failed:"; cat "$root/$name.last"; exit 1; }
    end=$(now)
    echo "$end - $start" | bc >>"$root/$name.times"
    echo "  $name $(tail -n1 "$root/$name.times") s" >&2
}
ffmpeg_each() {
    for f in "$@"; do
        ffmpeg -loglevel error -y -i "$f" -map 0 -c:v copy -c:a libmp3lame -b:a 128k -compression_level 4 \
            -joint_stereo 1 -ar 44100 -id3v2_version 3 "$root/out/$(basename "$f")"
    done
}
cli() { "$bin/mp3recast-cli" -b 128 -m joint -w "$root/work" --overwrite -o "$root/out" "$@"; }

batch=("$root"/in/*.mp3)
for round in $(seq "$rounds"); do
    echo "round $round of $rounds" >&2
    run batch_cli_j1 cli -j 1 "${batch[@]}"
    run batch_cli_jdefault cli "${batch[@]}"
    run batch_window "$bin/bench_conversion" --window "$cores" "$root/out" "${batch[@]}"
    cp "$root/batch_window.last" "$root/batch_window.mem.$round"
    run batch_direct "$bin/bench_conversion" --direct "$root/out" "${batch[@]}"
    run batch_ffmpeg ffmpeg_each "${batch[@]}"
    run single_cli cli -j 1 "$single"
    run single_direct "$bin/bench_conversion" --direct "$root/out" "$single"
    run single_ffmpeg ffmpeg_each "$single"
done
run long_window "$bin/bench_conversion" --window "$cores" "$root/out" "$root/long/long.mp3"

median() { sort -n "$1" | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
m() { median "$root/$1.times"; }
ratio() { echo "scale=3; $1 / $2" | bc; }

echo
echo "Machine: $cores cores; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Batch: 20 files, $(du -sh "$root/in" | cut -f1), about 80 minutes of audio; medians of $rounds rounds"
printf '| %-38s | %9s | %-24s |\n' "method" "seconds" "vs ffmpeg one after another"
printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..40})" "$(printf -- '-%.0s' {1..11})" "$(printf -- '-%.0s' {1..26})"
for method in batch_cli_j1 batch_cli_jdefault batch_window batch_direct batch_ffmpeg; do
    printf '| %-38s | %9.2f | %24s |\n' "$method" "$(m $method)" "$(ratio "$(m $method)" "$(m batch_ffmpeg)")x"
done
echo
echo "Single file (05.mp3, $(du -h "$single" | cut -f1)): cli -j 1 $(m single_cli) s, direct calls $(m single_direct) s," \
    "ffmpeg $(m single_ffmpeg) s; cli / direct = $(ratio "$(m single_cli)" "$(m single_direct)")"
echo "Window / cli -j default = $(ratio "$(m batch_window)" "$(m batch_cli_jdefault)")"
read -r seconds window workers < <(tail -n1 "$root/long_window.last")
echo "60-minute file through the window with workers: $seconds s; peak memory: window $window MB," \
    "largest worker $workers MB"
for round in $(seq "$rounds"); do
    read -r seconds window workers < <(tail -n1 "$root/batch_window.mem.$round")
    echo "batch round $round through the window: peak memory window $window MB, largest worker $workers MB"
done
