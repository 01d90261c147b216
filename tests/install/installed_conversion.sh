#!/usr/bin/env bash
# Converts one MP3 through the installed program's window on a virtual X display: settings prepared in the
# user's configuration folder (where an installed program keeps them), ">>" queues the source folder's
# file, "変換開始" starts the run; the output must be an MPEG-1 Layer III file at the chosen bit rate that
# kept its tag, and the same bytes as mp3recast-cli makes with those settings. Skipped only when there
# is no Xvfb.
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v Xvfb >/dev/null; then
  echo "Xvfb is not installed: skipped"
  exit 77
fi

tmp=$(mktemp -d)
xvfb_pid='' program_pid=''
# A killed child's status (143) must not become the test's result.
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; wait "$program_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- program output:" >&2
  cat "$tmp/program.log" >&2 || true
  exit 1
}

# A user of its own: nothing of the real home, configuration or runtime folder is read or written.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
export XDG_CACHE_HOME=$tmp/home/.cache XDG_RUNTIME_DIR=$tmp/runtime
mkdir -p "$XDG_CONFIG_HOME/MP3Recast" "$XDG_RUNTIME_DIR" "$tmp/in" "$tmp/work" "$tmp/out"
chmod 700 "$XDG_RUNTIME_DIR"

ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=3" -ac 2 -ar 44100 \
  -c:a libmp3lame -b:a 192k -id3v2_version 3 -metadata title="テスト曲" "$tmp/in/tone.mp3"

# Bits=4 is 64 kbit/s, Stereo=1 stereo.
printf '[Setting]\r\nBits=4\r\nStereo=1\r\nSort=1\r\nInPath=%s\r\nTempPath=%s\r\nOutPath=%s\r\nPlayList=MP3LIST.M3U\r\nPlayListPathSet=0\r\n' \
  "$tmp/in" "$tmp/work" "$tmp/out" >"$XDG_CONFIG_HOME/MP3Recast/MP3Recast.INI"

# Xvfb picks a free display itself and reports it, so parallel tests never race for a number.
exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 300); do
  [ -s "$tmp/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; fail "Xvfb did not start"; }
  sleep 0.1
done
export DISPLAY=:$(head -n1 "$tmp/display")
export QT_QPA_PLATFORM=xcb

"$program" >"$tmp/program.log" 2>&1 &
program_pid=$!

# Bounded waits for a state of the window, never a fixed pause.
wait_for() { # seconds, description, command...
  local limit=$1 what=$2
  shift 2
  for _ in $(seq $((limit * 10))); do
    "$@" && return 0
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended while waiting for $what"
    sleep 0.1
  done
  fail "no $what after ${limit}s"
}
main_window() { xdotool search --onlyvisible --name '^MP3Recast Version ' 2>/dev/null | head -n1; }
window_shown() { [ -n "$(main_window)" ]; }
wait_for 60 "main window" window_shown
window=$(main_window)

# The client area is fixed at 1018x691 below a 24-pixel menu bar; the buttons' centres from its layout
# table (twips / 15), 24 pixels down.
xdotool mousemove --window "$window" 542 66 click 1   # ">>": queue every file of the source folder
xdotool mousemove --window "$window" 508 362 click 1  # "変換開始"

# The copy into the destination comes before the caption returns from "コンバート中 [1/1]", so both
# together mean the run is over.
run_finished() {
  [ -f "$tmp/out/tone.mp3" ] && xdotool getwindowname "$window" | grep -q '^MP3Recast Version '
}
wait_for 120 "finished conversion" run_finished

probe() { ffprobe -v error -show_entries "$1" -of default=noprint_wrappers=1:nokey=1 "$tmp/out/tone.mp3"; }
[ "$(probe stream=codec_name)" = mp3 ] || fail "output is not MPEG audio layer III: $(probe stream=codec_name)"
[ "$(probe stream=sample_rate)" = 44100 ] || fail "sample rate $(probe stream=sample_rate), expected 44100"
[ "$(probe stream=channels)" = 2 ] || fail "channels $(probe stream=channels), expected 2"
[ "$(probe stream=bit_rate)" = 64000 ] || fail "bit rate $(probe stream=bit_rate), expected 64000"
[ "$(probe format_tags=title)" = "テスト曲" ] || fail "title tag '$(probe format_tags=title)' was not kept"
[ -z "$(ls -A "$tmp/work")" ] || fail "work files left behind: $(ls -A "$tmp/work")"
# The command line beside it makes the same file, byte for byte, from the same settings.
"$(dirname "$program")/mp3recast-cli" -b 64 -m stereo -o "$tmp/cli" "$tmp/in/tone.mp3" >"$tmp/cli.log" 2>&1 ||
  fail "mp3recast-cli failed: $(cat "$tmp/cli.log")"
cmp -s "$tmp/out/tone.mp3" "$tmp/cli/tone.mp3" || fail "the window's file differs from mp3recast-cli's"
echo "installed program converted tone.mp3 to 64 kbit/s, 44100 Hz stereo with its tag"
