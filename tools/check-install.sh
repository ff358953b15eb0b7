#!/usr/bin/env bash
# Checks an installed tree the way a user meets it: installs a build into a
# temporary prefix (or takes an unpacked package's usr/ folder with --tree)
# and runs the installed programs from there, with nothing set in the
# environment to help them find their library and data.
#   tools/check-install.sh BUILD_DIR
#   tools/check-install.sh --tree PREFIX
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ "${1:-}" = "--tree" ]; then
  prefix="${2:?usage: tools/check-install.sh --tree PREFIX}"
else
  prefix="$work/prefix"
  cmake --install "${1:?usage: tools/check-install.sh BUILD_DIR}" --prefix "$prefix" >/dev/null
fi

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$1" = "$2" ] || fail "$3: expected '$2', got '$1'"; }

# The one version, as the top-level project() sets it.
version="$(sed -n 's/^project(.*VERSION \([0-9][0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
[ -n "$version" ] || fail "no VERSION in project()"

# A clean user: own home, no port, no directories chosen, no display.
clean=(env -u QUIREL_PORT -u QUIREL_HOME -u QUIREL_SYSTEM_DIR -u XDG_DATA_HOME -u DISPLAY -u WAYLAND_DISPLAY
       -u LD_LIBRARY_PATH -u QT_QPA_PLATFORM LC_ALL=C HOME="$work/home")
run() { "${clean[@]}" "$@"; }
mkdir -p "$work/home"

expect_eq "$(run "$prefix/bin/quirel" --version)" "quirel $version" "quirel --version"

# The virtual reader answers the probe; the timing library comes from the
# installed tree through the program's own search path.
trace="$(LD_DEBUG=libs run "$prefix/bin/quirel" --port "virtual:$work/reader" probe 2>&1)" ||
  fail "quirel --port virtual:DIR probe failed: $trace"
grep -q "calling init: $prefix/.*/libpacer.so" <<<"$trace" || fail "the installed libpacer.so was not loaded"

# A port that exists but cannot be reached: the message names the reason and the fix.
problem="$(run "$prefix/bin/quirel" --port ppdev:"$work/parport9" probe 2>&1)" && fail "probe without a port succeeded"
grep -q "$work/parport9" <<<"$problem" || fail "the probe message does not name the device: $problem"
grep -q "To fix: " <<<"$problem" || fail "the probe message gives no remedy: $problem"

# Bash completion offers exactly the commands the program knows.
completion="$prefix/share/bash-completion/completions/quirel"
if [ -f "$completion" ]; then
  offered="$(bash -c 'source "$1"; COMP_WORDS=(quirel ""); COMP_CWORD=1; _quirel; printf "%s\n" "${COMPREPLY[@]}"' \
             _ "$completion" | sort | tr '\n' ' ')"
  known="$(run "$prefix/bin/quirel" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p' | sort | tr '\n' ' ')"
  expect_eq "$offered" "$known" "commands offered by bash completion"
else
  fail "no bash completion installed"
fi

for page in "$prefix"/share/man/man1/*.1.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || fail "man $page failed"
  [ -z "$warnings" ] || fail "man $page: $warnings"
  zcat "$page" | grep -q "quirel $version" || fail "$page does not name version $version"
done
[ -f "$prefix/share/man/man1/quirel.1.gz" ] || fail "no manual page for quirel"

if [ -x "$prefix/bin/quirel40" ]; then
  expect_eq "$(run "$prefix/bin/quirel40" --version)" "quirel40 $version" "quirel40 --version"
  # The viewer answers --version once it knows the option; without a display
  # an older one stops at once instead.
  if viewer_says="$(ulimit -c 0; run "$prefix/bin/quirel-viewer" --version 2>/dev/null)"; then
    grep -q "$version" <<<"$viewer_says" || fail "quirel-viewer --version: '$viewer_says' names no $version"
  fi
  for page in quirel40 quirel-viewer; do
    [ -f "$prefix/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
  done
  # The window program puts the installed help page into a new system directory.
  help_page="$work/home/.local/share/quirel/system/qrlhelp.htm"
  # A simple command in the background: $! is the program itself.
  "${clean[@]}" QT_QPA_PLATFORM=offscreen "$prefix/bin/quirel40" --no-splash --port "virtual:$work/reader" \
    >/dev/null 2>&1 &
  window=$!
  for _ in $(seq 300); do
    [ -s "$help_page" ] && break  # written aside, then renamed into place
    sleep 0.1
  done
  kill "$window" 2>/dev/null || true
  wait "$window" 2>/dev/null || true
  cmp -s "$help_page" "$prefix/share/quirel/qrlhelp.htm" || fail "quirel40 did not copy the installed help page"

  for entry in "$prefix"/share/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$entry is not valid"
    exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    [ -x "$prefix/bin/$exec_program" ] || fail "$entry starts $exec_program, which is not installed"
  done
  appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >/dev/null ||
    fail "$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml)"
  grep -q "<release version=\"$version\"" "$prefix"/share/metainfo/*.metainfo.xml || fail "metainfo names another version"
  icon="$(sed -n 's/^Icon=//p' "$prefix/share/applications/org.quirel.Quirel.desktop")"
  ls "$prefix"/share/icons/hicolor/*/apps/"$icon".png >/dev/null 2>&1 || fail "icon $icon is not installed"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the installed tree failed" >&2
  exit 1
fi
echo "The installed tree in $prefix works."
