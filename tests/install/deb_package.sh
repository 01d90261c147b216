#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks what a fresh system needs from it: the
# dependencies of every ELF file in it (the dlopen'ed codec libraries included) and the run-time packages
# no ELF file names; its manual pages, copyright and changelog; and, when lintian is installed, that
# lintian finds no error and no warning in it.
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
for page in MP3Recast mp3recast-cli; do
  grep -qx "\./usr/share/man/man1/$page.1.gz" <<<"$contents" || fail "manual page $page.1.gz is not in the package"
done

# The changelog's latest entry is the package's version: a new version comes with its entry.
dpkg-deb -x "${deb[0]}" "$out/tree"
doc=$out/tree/usr/share/doc/mp3recast
version=$(dpkg-deb -f "${deb[0]}" Version)
latest=$(zcat "$doc/changelog.gz" | head -n1)
[[ $latest == "mp3recast ($version) "* ]] || fail "changelog starts with '$latest', the package is $version"
grep -q '^License: ' "$doc/copyright" || fail "copyright names no licence"
# Its comment names every library that a program or a codec library in the package links (the C and C++
# run-time aside), Qt's by module: a library linked anew comes with its licence.
comment=$(sed -n '/^Comment:/,/^$/p' "$doc/copyright")
qt_modules=$(grep -E '^ +Qt 6 ' <<<"$comment" || true)
needed=$(for elf in usr/bin/MP3Recast usr/bin/mp3recast-cli "usr/$private_libdir/libvbmp3.so" "usr/$private_libdir/libgogo.so"; do
  readelf -d "$out/tree/$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
done | sort -u)
[ -n "$needed" ] || fail "readelf found no library the programs link"
# A sanitizer build links its run-times and, without --as-needed, every library of Qt's link interface
# (the GL dispatch libraries, zlib); the package as shipped is the release build's, checked there.
if grep -q '^libasan' <<<"$needed"; then needed=; fi
for lib in $needed; do
  name=${lib%%.so*}
  case $name in
    libc | libm | libstdc++ | libgcc_s | ld-linux*) ;;
    libQt6*) grep -qw "${name#libQt6}" <<<"$qt_modules" || fail "copyright does not name Qt 6 ${name#libQt6} ($lib)" ;;
    libtag) grep -qw TagLib <<<"$comment" || fail "copyright does not name TagLib ($lib)" ;;
    *) grep -qw -- "$name" <<<"$comment" || fail "copyright does not name $name ($lib)" ;;
  esac
done

if command -v lintian >/dev/null; then
  # Info tags are printed for the record; errors and warnings fail.
  lintian --display-info --fail-on error,warning "${deb[0]}" || fail "lintian found errors or warnings"
  echo "lintian: no error or warning"
else
  echo "lintian is not installed: not checked"
fi
echo "package $(basename "${deb[0]}") is complete"
