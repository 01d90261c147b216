#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what a fresh system needs from it: the
# dependencies of every ELF file in it (the dlopen'ed codec libraries included) and the run-time packages
# no ELF file names.
set -euo pipefail
build=$1 out=$2 private_libdir=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
deb=("$out"/mp3recast_*.deb)
[ -f "${deb[0]}" ] || fail "no mp3recast_*.deb in $out"

depends=$(dpkg-deb -f "${deb[0]}" Depends)
echo "Depends: $depends"
for needed in libmpg123 libmp3lame libtag libqt6widgets6 fonts-noto-cjk qt6-translations-l10n qt6-qpa-plugins; do
  grep -qE "(^|, )$needed[0-9a-z.+-]*( |,|$)" <<<"$depends" || fail "Depends lacks $needed"
done

contents=$(dpkg-deb -c "${deb[0]}" | awk '{ print $NF }')
# The window starts mp3recast-cli from its own folder for runs of several files at once.
for file in usr/bin/MP3Recast usr/bin/mp3recast-cli "usr/$private_libdir/libvbmp3.so" "usr/$private_libdir/libgogo.so"; do
  grep -qx "\./$file" <<<"$contents" || fail "$file is not in the package"
done
echo "package $(basename "${deb[0]}") is complete"
