#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over every source file of ours
# that the build in BUILD (default build/) compiles, in parallel; fails on
# any finding. The build must have been configured (compile_commands.json)
# and built (Qt's generated headers).
#   tools/tidy.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure first" >&2; exit 2; }
top="$(pwd)"
ours="^$top/(common|link|send|convert|phonebook|reader|app|cli|viewer|pacer|tests|bench)/"
log="$build/tidy.log"
# GCC-only warning flags mean nothing to clang; its -Wconversion would add
# sign changes, which the compilers' own run leaves out.
status=0
run-clang-tidy-14 -p "$build" -j "$(nproc)" -quiet -header-filter="$ours" \
  -extra-arg=-Wno-unknown-warning-option -extra-arg=-Wno-sign-conversion "$ours" 2>&1 |
  sed 's/\x1b\[[0-9;]*m//g' >"$log" || status=$?
if [ "$status" -eq 0 ] && ! grep -qE '(warning|error):' "$log"; then
  echo "clang-tidy: no findings"
else
  grep -E '(warning|error):' "$log" | sort -u >&2 || tail -n 40 "$log" >&2
  echo "clang-tidy found the above (full output in $log)" >&2
  exit 1
fi
