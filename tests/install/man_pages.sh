#!/usr/bin/env bash
# Each installed program's --help and its manual page name the same options and the same exit statuses,
# so an option added to one and not the other fails here. (lintian, in deb_package.sh, checks that the
# pages render without warnings.)
set -euo pipefail
prefix=$1 mandir=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

# Options at the start of --help's option lines ("  -b KBPS   ...", "  -h, --help   ...").
help_options() {
  env -u DISPLAY -u WAYLAND_DISPLAY "$1" --help | grep -E '^ +-' | sed -E 's/^ +//; s/ {2,}.*//' |
    grep -oE '(^|[ ,])--?[A-Za-z][-A-Za-z0-9]*' | tr -d ' ,' | sort -u
}
# The page's source as groff sees it, one section at a time.
page_section() { # page, section title
  zcat "$1" | sed 's/\\-/-/g' | awk -v title="$2" '/^\.SH / { on = ($0 == ".SH " title || $0 == ".SH \"" title "\"") } on'
}
# The tag line after each .TP of the OPTIONS section.
page_options() {
  page_section "$1" OPTIONS | awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' |
    grep -oE '(^|[ "])--?[A-Za-z][-A-Za-z0-9]*' | tr -d ' "' | sort -u
}
page_statuses() {
  page_section "$1" "EXIT STATUS" | awk 'tag { print $2; tag = 0 } /^\.TP/ { tag = 1 }' | sort -n
}

for program in MP3Recast mp3recast-cli; do
  page=$prefix/$mandir/man1/$program.1.gz
  [ -f "$page" ] || fail "no manual page $page"
  help=$(help_options "$prefix/bin/$program")
  documented=$(page_options "$page")
  [ -n "$help" ] || fail "$program --help lists no options"
  if [ "$help" != "$documented" ]; then
    diff <(echo "$help") <(echo "$documented") | sed 's/^</  only in --help:/; s/^>/  only in the page:/' >&2 || true
    fail "$program: --help and $program.1 list different options"
  fi
  echo "$program: $(echo $help) in --help and the page"
done

# The command line's exit statuses: "Exit status: 0 ..., 1 ..., 2 ..." in --help, one .TP each in the page.
help_statuses=$("$prefix/bin/mp3recast-cli" --help | sed -n 's/^Exit status://p' | grep -oE '\b[0-9]+\b' | sort -n)
page_statuses=$(page_statuses "$prefix/$mandir/man1/mp3recast-cli.1.gz")
[ -n "$help_statuses" ] && [ "$help_statuses" = "$page_statuses" ] ||
  fail "exit statuses differ: --help $(echo $help_statuses), page $(echo $page_statuses)"
echo "mp3recast-cli exit statuses $(echo $help_statuses) in --help and the page"
