#!/usr/bin/env bash
# --help and --version answer and exit 0 without a display; anything else is refused with status 2.
# No display is reachable here, so a program that went on to open its window would abort instead.
set -uo pipefail
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" "$@" >"$out" 2>"$err"; }
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

for option in --help -h; do
  run "$option"; status=$?
  [ $status -eq 0 ] || fail "$option: exit status $status: $(cat "$err")"
  grep -q -- '--version' "$out" || fail "$option does not mention --version"
done
for option in --version -v; do
  run "$option"; status=$?
  [ $status -eq 0 ] || fail "$option: exit status $status"
  grep -qx 'MP3Recast [0-9]*\.[0-9]*\.[0-9]*' "$out" || fail "$option printed: $(cat "$out")"
done

# Unknown options (Qt's own -platform included) and stray file names.
for args in "--bogus" "-platform offscreen" "song.mp3" "--version extra"; do
  # shellcheck disable=SC2086
  run $args; status=$?
  [ $status -eq 2 ] || fail "'$args': exit status $status, expected 2"
  [ ! -s "$out" ] || fail "'$args' printed to standard output"
  grep -q 'MP3Recast --help' "$err" || fail "'$args': no hint on standard error: $(cat "$err")"
done
echo "command line: help, version and refusals as expected"
