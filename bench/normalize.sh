#!/bin/bash
# What --normalize costs over a plain conversion: the same files through mp3recast-cli -j 1 (one process,
# so the figure is not blurred by how workers share the cores), plain, with --normalize (track: each file
# measured after decoding) and with --normalize=album (each folder measured first, then converted).
# Methods alternate within each round, so none gains from a warmer cache; medians are reported, of the
# wall time and of the processor time (user + system, which a busy machine disturbs far less).
#
# Usage: bash bench/normalize.sh [BIN_DIR, default build/ci/bin] [ROUNDS, default 3] [FILES, default 8]
#                               [LEVEL, default loud]
# Inputs (made here with ffmpeg): noise-and-tone mixes of about three minutes, CBR 192 kbit/s, ID3v2.3
# tags with cover art. LEVEL loud: about -11 to -7 LUFS, as most commercial masters, which the default
# target turns down; quiet: about -30 LUFS with peaks near full scale after the gain, the case in which
# the true peak has to be measured as well (four times oversampled, the costly part).
set -euo pipefail

bin=$(realpath "${1:-build/ci/bin}")
rounds=${2:-3}
files=${3:-8}
level=${4:-loud}
case $level in
loud) gain=9 ;;
quiet) gain=-12 ;;
*) echo "LEVEL: loud or quiet" >&2; exit 2 ;;
esac
root=$(mktemp -d /tmp/mp3recast-normalize.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/in" "$root/work"

ffmpeg -loglevel error -f lavfi -i "color=c=0x336699:s=500x500" -frames:v 1 "$root/cover.png"
for i in $(seq -w 1 "$files"); do
    seconds=$((170 + 3 * 10#$i))
    ffmpeg -loglevel error -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):duration=$seconds" \
        -f lavfi -i "anoisesrc=color=pink:amplitude=0.$((10#$i % 5 + 1)):duration=$seconds" -i "$root/cover.png" \
        -filter_complex "[0:a][1:a]amix=inputs=2:normalize=0,volume=${gain}dB,alimiter=limit=0.95,aformat=channel_layouts=stereo[a]" \
        -map "[a]" -map 2:v -c:v copy -c:a libmp3lame -b:a 192k -id3v2_version 3 \
        -metadata title="曲 $i" -metadata artist="演奏者" "$root/in/$i.mp3"
done

seconds() { # prints the wall time and the processor time (user + system) of the command in seconds
    /usr/bin/time -f "%e %U %S" -o "$root/time" "$@" >/dev/null 2>&1
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$root/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A times cpus
methods=(plain track album)
for round in $(seq 1 "$rounds"); do
    for method in "${methods[@]}"; do
        out="$root/out-$method"
        rm -rf "$out"
        case $method in
        plain) extra=() ;;
        track) extra=(--normalize) ;;
        album) extra=(--normalize=album) ;;
        esac
        read -r wall cpu < <(seconds "$bin/mp3recast-cli" -j 1 -w "$root/work" "${extra[@]}" -o "$out" "$root/in")
        times[$method]+="$wall "
        cpus[$method]+="$cpu "
        echo "round $round $method: $wall s, processor $cpu s" >&2
    done
done

plain=$(tr ' ' '\n' <<<"${times[plain]}" | grep . | median)
plainCpu=$(tr ' ' '\n' <<<"${cpus[plain]}" | grep . | median)
echo "$files $level files, medians of $rounds rounds, mp3recast-cli -j 1:"
for f in "$root"/in/*.mp3; do
    ffmpeg -hide_banner -nostats -i "$f" -af ebur128 -f null - 2>&1 | awk '/^ +I:/ { print $2 }'
done | sort -n | awk '{ v[NR] = $1 } END { print "  inputs from " v[1] " to " v[NR] " LUFS" }'
echo "  method   wall (s)          processor time (s)"
for method in "${methods[@]}"; do
    m=$(tr ' ' '\n' <<<"${times[$method]}" | grep . | median)
    c=$(tr ' ' '\n' <<<"${cpus[$method]}" | grep . | median)
    printf '  %-6s %8.2f %+6.1f %%   %8.2f %+6.1f %%\n' "$method" "$m" "$(echo "($m / $plain - 1) * 100" | bc -l)" \
        "$c" "$(echo "($c / $plainCpu - 1) * 100" | bc -l)"
done
