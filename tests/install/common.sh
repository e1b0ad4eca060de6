# Shared by the install and package tests.  Sourced, not run.
set -euo pipefail
export LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (./dev.sh installs it)"
  done
}

# The long options a program's --help names, one a line.
long_options() {
  grep -oE -- '(^|[ ,])--[a-z][a-z0-9-]*' | sed 's/^[ ,]//' | sort -u
}

# check_versions BINDIR VERSION: every program prints "NAME VERSION".
check_versions() {
  local bindir=$1 version=$2 p out
  for p in bravik-log bravik-mission bravik-gps-sim; do
    out=$(cd / && "$bindir/$p" --version) || fail "$p --version failed"
    [ "$out" = "$p $version" ] || fail "$p --version printed \"$out\", not \"$p $version\""
  done
}

# The help texts of a program: bravik-mission's general help and that of
# each of its templates.
help_texts() {
  local program=$1
  "$program" --help
  if [ "$(basename "$program")" = bravik-mission ]; then
    local t
    for t in $("$program" --help | sed -n '/^Templates:/,/^$/p' | sed '1d;/^$/d' | awk '{print $1}'); do
      "$program" "$t" --help
    done
  fi
}

# check_man_page PAGE PROGRAM: the page renders without a warning and names
# every long option and every exit status that PROGRAM's --help lists.
check_man_page() {
  local page=$1 program=$2 name warnings text option status
  name=$(basename "$program")
  warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff cannot render $page"
  [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
  warnings=$(MANWIDTH=100 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l $page failed"
  [ -z "$warnings" ] || fail "man -l warns about $page: $warnings"
  text=$(LC_ALL=C MANWIDTH=250 man -l "$page" 2>/dev/null | col -b)
  grep -q "^NAME" <<<"$text" || fail "$page has no NAME section"
  grep -q "^EXIT STATUS" <<<"$text" || fail "$page has no EXIT STATUS section"
  for option in $(help_texts "$program" | long_options); do
    grep -qF -- "$option" <<<"$text" || fail "$page does not describe $option, which $name --help lists"
  done
  # The exit statuses are the same in --help ("  0  ...") and on the page.
  local in_help in_page
  in_help=$("$program" --help | sed -n '/^Exit status:/,$p' | awk '/^  [0-9]+  /{print $1}' | sort | tr '\n' ' ')
  in_page=$(sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$text" | awk '/^       [0-9]+ /{print $1}' | sort | tr '\n' ' ')
  [ -n "$in_help" ] || fail "$name --help lists no exit status"
  [ "$in_help" = "$in_page" ] || fail "$name --help lists the exit statuses $in_help, $page lists $in_page"
}
