#!/usr/bin/env bash
# scripts/install-deps as a user without root meets it: whenever the missing packages cannot be installed
# (no sudo, a sudo that refuses, with or without a terminal to ask on, apt-get failing) it fails with the
# command to run as root, one package a line, and that command as printed installs exactly those packages.
# dpkg-query, id, sudo and apt-get are stand-ins on a PATH of their own; nothing is installed.
set -euo pipefail
script=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

bin=$tmp/bin
mkdir "$bin"
for tool in awk grep env true; do ln -s "$(type -P "$tool")" "$bin/$tool"; done
stub() { printf '#!/bin/bash\n%s\n' "$2" >"$bin/$1"; chmod +x "$bin/$1"; }
stub dpkg-query 'echo "ii  cmake"' # only cmake is installed
stub id '[ "$1" = -u ] && echo 1000'
stub apt-get "echo \"\$*\" >>'$tmp/apt.log'; exit \${APT_STATUS:-0}"
refusing_sudo='case "$1" in -n) exit 1 ;; -v) echo "Sorry, user may not run sudo." >&2; exit 1 ;; esac; exit 1'
willing_sudo='[ "$1" = -n ] && shift; [ "$1" = -v ] && exit 0; exec "$@"'

# run SUDO MODE [TERMINAL]: install-deps with the given sudo ("" for none); output in $tmp/out, status in $status
run() {
  rm -f "$bin/sudo" "$tmp/apt.log"
  [ -z "$1" ] || stub sudo "$1"
  local command="PATH='$bin' '$BASH' '$script' $2"
  if [ "${3:-}" = terminal ]; then
    # script(1) gives install-deps a terminal on its standard input, as a user at a prompt has.
    status=0
    script -qec "$command" /dev/null </dev/null >"$tmp/out" 2>&1 || status=$?
  else
    status=0
    bash -c "$command" </dev/null >"$tmp/out" 2>&1 || status=$?
  fi
}
# The printed command: from "apt-get update" to the line that does not end in a backslash.
printed_command() { tr -d '\r' <"$tmp/out" | sed -n '/apt-get update &&/,/[^\\]$/p'; }
printed_packages() { printed_command | tail -n +2 | tr -d ' \\' | sort; }
# The packages of the stand-in apt-get's "install" call.
installed_packages() { grep '^install ' "$tmp/apt.log" | tr ' ' '\n' | grep -xE '[a-z0-9][a-z0-9.+-]+' | grep -vx install | sort; }
expect_command() { # what, again
  [ "$status" -eq 1 ] || fail "$1: exit status $status: $(cat "$tmp/out")"
  [ ! -e "$tmp/apt.log" ] || [ "$APT_STATUS" -ne 0 ] || fail "$1: apt-get ran: $(cat "$tmp/apt.log")"
  grep -q "Run this as root, $2" "$tmp/out" || fail "$1: no 'Run this as root, $2': $(cat "$tmp/out")"
  [ "$(printed_packages | wc -l)" -ge 5 ] || fail "$1: not one package a line: $(cat "$tmp/out")"
  ! printed_packages | grep -vqxE '[a-z0-9][a-z0-9.+-]+' || fail "$1: a line that is not one package name"
  ! printed_packages | grep -qx cmake || fail "$1: cmake is installed but listed"
}

export APT_STATUS=0
run "" --test
expect_command "no sudo" "then run the tests again"
test_packages=$(printed_packages)
# The command as printed, pasted into a root shell, installs exactly the packages listed.
rm -f "$tmp/apt.log"
PATH=$bin "$BASH" -c "$(printed_command)" || fail "the printed command does not run: $(printed_command)"
[ "$(installed_packages)" = "$test_packages" ] || fail "the printed command installs: $(cat "$tmp/apt.log")"

run "$refusing_sudo" --run
expect_command "sudo needing a password, no terminal" "then run scripts/start again"
if command -v script >/dev/null; then
  run "$refusing_sudo" --run terminal
  expect_command "sudo refusing at a terminal" "then run scripts/start again"
  grep -q "Sorry, user may not run sudo" "$tmp/out" || fail "sudo's refusal is not shown"
fi

APT_STATUS=100 run "$willing_sudo" --test
APT_STATUS=100 expect_command "apt-get failing" "then run the tests again"
grep -q "apt-get update failed" "$tmp/out" || fail "apt-get failing: $(cat "$tmp/out")"

run "$willing_sudo" --test
[ "$status" -eq 0 ] || fail "willing sudo: exit status $status: $(cat "$tmp/out")"
! grep -q "Run this as root" "$tmp/out" || fail "willing sudo: the command was printed"
[ "$(installed_packages)" = "$test_packages" ] || fail "willing sudo installs: $(cat "$tmp/apt.log")"
echo "install-deps: the root command printed in each failing case, installed through sudo otherwise"
