#!/bin/bash
# Keeping a converted library in step: a library of 10,000 small files is converted once with --update;
# then, in each round, 100 sources spread over the library get a new tag, and the time of
# `mp3recast-cli -r --update` over the whole library is set against converting those 100 files alone
# (same -j, into a folder of their own): with the same command (--update, so their outputs carry the
# record too), and plain. The runs alternate within each round; medians are reported, and the time of an
# --update run with nothing to do, with and without --checksum.
#
# Usage: bash bench/sync/bench_sync.sh [BIN_DIR, default build/bench/bin] [ROUNDS, default 3] [FILES, default 10000]
set -euo pipefail

bin=$(realpath "${1:-build/bench/bin}")
rounds=${2:-3}
files=${3:-10000}
changed=100
cli="$bin/mp3recast-cli"
root=$(mktemp -d /tmp/mp3recast-sync.XXXXXX)
trap 'rm -rf "$root"' EXIT

# One short noise MP3 (half a second, 128 kbit/s), copied into every file behind a tag of its own, so each
# source differs in its bytes while the library is made in seconds.
ffmpeg -loglevel error -f lavfi -i "anoisesrc=color=pink:amplitude=0.3:sample_rate=44100:duration=0.5" \
    -ac 2 -c:a libmp3lame -b:a 128k "$root/base.mp3"

/usr/bin/python3 - "$root" "$files" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
audio = open(os.path.join(root, "base.mp3"), "rb").read()
def tag(title):
    text = b"\x00" + title.encode()
    frame = b"TIT2" + len(text).to_bytes(4, "big") + b"\x00\x00" + text
    body = frame + b"\x00" * 64
    size = len(body)
    synchsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + synchsafe + body
for n in range(count):
    folder = os.path.join(root, "lib", "d%03d" % (n // 100))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%05d.mp3" % n), "wb") as f:
        f.write(tag("Song %d" % n) + audio)
PY

# The files changed in each round: every (files/100)-th one.
step=$((files / changed))
targets=()
for ((n = 0; n < files; n += step)); do
    targets+=("$root/lib/d$(printf %03d $((n / 100)))/f$(printf %05d $n).mp3")
done

echo "library: $files files, $(du -sh "$root/lib" | cut -f1); first conversion..." >&2
start=$(date +%s.%N)
"$cli" -r --update -o "$root/out" "$root/lib" > /dev/null
echo "first --update run: $(echo "$(date +%s.%N) - $start" | bc) s" >&2

retag() { # ROUND: new titles (other bytes) for the changed files
    /usr/bin/python3 - "$1" "${targets[@]}" <<'PY'
import sys
round_, paths = sys.argv[1], sys.argv[2:]
for path in paths:
    data = bytearray(open(path, "rb").read())
    # The title's last character lies at byte 10 + 10 + 1 + len - 1; rewrite the whole title, same length.
    size = int.from_bytes(data[14:18], "big")
    title = data[21:20 + size].decode()
    new = (title[:-1] + round_[-1]) if title[-1] != round_[-1] else (title[:-1] + "x")
    data[21:20 + size] = new.encode()
    open(path, "wb").write(data)
PY
}

seconds() { # COMMAND...: wall-clock seconds
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

update=() alone=() plain=() idle=() checksum=()
for ((round = 1; round <= rounds; round++)); do
    retag "$round"
    update+=("$(seconds "$cli" -r --update -o "$root/out" "$root/lib")")
    rm -rf "$root/alone" "$root/plain"
    alone+=("$(seconds "$cli" --update -o "$root/alone" "${targets[@]}")")
    plain+=("$(seconds "$cli" -o "$root/plain" "${targets[@]}")")
    idle+=("$(seconds "$cli" -r --update -o "$root/out" "$root/lib")")
    checksum+=("$(seconds "$cli" -r --update --checksum -o "$root/out" "$root/lib")")
    echo "round $round: --update ${update[-1]} s, the $changed alone ${alone[-1]} s (plain ${plain[-1]} s)," \
        "nothing to do ${idle[-1]} s, with --checksum ${checksum[-1]} s" >&2
done
u=$(median "${update[@]}")
a=$(median "${alone[@]}")
p=$(median "${plain[@]}")
i=$(median "${idle[@]}")
c=$(median "${checksum[@]}")
echo "medians of $rounds rounds, $files files, $changed changed, -j $(nproc):"
echo "  --update over the library: $u s"
echo "  converting the $changed alone, same command: $a s"
echo "  converting the $changed alone, plain (no record): $p s"
echo "  --update with nothing to do: $i s"
echo "  --update --checksum with nothing to do: $c s"
echo "  ratio --update / alone: $(echo "scale=3; $u / $a" | bc) (target <= 1.2)"
echo "  ratio --update / plain: $(echo "scale=3; $u / $p" | bc)"
