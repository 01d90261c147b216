#!/usr/bin/env bash
# The installed menu entry and AppStream metainfo pass the freedesktop validators, and what the entry
# names (the program, the icon) is installed where a desktop looks for it.
set -euo pipefail
prefix=$1 datadir=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop=("$prefix/$datadir"/applications/*.desktop)
metainfo=("$prefix/$datadir"/metainfo/*.metainfo.xml)
[ ${#desktop[@]} -eq 1 ] && [ -f "${desktop[0]}" ] || fail "expected one .desktop file, found: ${desktop[*]}"
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || fail "expected one metainfo file, found: ${metainfo[*]}"

desktop-file-validate "${desktop[0]}"
# Pedantic notes fail as well: they are the validator's advice to a new component (a lower-case ID).
notes=$(appstreamcli validate --no-net --pedantic "${metainfo[0]}") || fail "appstreamcli: $notes"
! grep -E '^[EWIP]: ' <<<"$notes" || fail "appstreamcli has notes on ${metainfo[0]}"

# The metainfo launches the entry by its file name, and the entry starts the installed program.
grep -qF "<launchable type=\"desktop-id\">$(basename "${desktop[0]}")</launchable>" "${metainfo[0]}" ||
  fail "metainfo does not launch $(basename "${desktop[0]}")"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "${desktop[0]}")
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"

# The icon in several sizes, and at least the small one a menu needs.
icon=$(sed -n 's/^Icon=//p' "${desktop[0]}")
sizes=$(find "$prefix/$datadir/icons/hicolor" -path "*/apps/$icon.png" | wc -l)
[ "$sizes" -ge 2 ] || fail "$sizes hicolor icon sizes named $icon, expected several"
[ -f "$prefix/$datadir/icons/hicolor/16x16/apps/$icon.png" ] || fail "no 16x16 icon"

echo "desktop entry and metainfo ($sizes icon sizes) are valid"
