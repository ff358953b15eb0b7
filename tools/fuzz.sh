#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer,
# libFuzzer) in build-fuzz/ and runs each for SECONDS (default 30), one after
# the other, starting from the committed seeds. A crash, hang or broken check
# leaves its input in build-fuzz/artifacts/TARGET/ and makes the script fail;
# commit such an input under tests/fuzz/reproducers/TARGET/ with the fix.
#   tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(text_rows html_rows big5 phonebook_store config_ini send_entry receive_stream phonebook_frames
           text_coding web_page epub fb2 mobi pdf markdown docx odt)
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIREL_WERROR=ON \
  -DQUIREL_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Longest input per target. The byte-level targets take 4 KB: the layout's
# rows, the Big5 check's 2047-byte sample and any path fit, and the 64 KB
# block edges of the conversions are reached by the targets' piece sources.
# The store needs room for a record over its 8 KB limit; books need room.
max_len_of() {
  case "$1" in
    text_rows | html_rows | big5 | config_ini | send_entry | text_coding | web_page) echo 4096 ;;
    phonebook_store) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

failed=()
summary=()
for t in "${targets[@]}"; do
  work="build-fuzz/corpus/$t"
  artifacts="build-fuzz/artifacts/$t/"
  mkdir -p "$work" "$artifacts"
  log="build-fuzz/fuzz-$t.log"
  echo "== $t: ${seconds} s"
  # New inputs go to the work corpus; the committed seeds and reproducers are only read.
  inputs=("$work" "tests/fuzz/corpus/$t")
  [ -d "tests/fuzz/reproducers/$t" ] && inputs+=("tests/fuzz/reproducers/$t")
  # A smaller quarantine than the default 256 MB: the conversions allocate
  # 64 KB blocks on every run, and fresh pages for each would cost more than
  # the run itself. Memory freed within one run is still caught when reused.
  # An allocation over 1 GB fails as it would on a small machine, so that a
  # library asking for one on a damaged book is seen to cope with the refusal.
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=32:max_allocation_size_mb=1024 \
     UBSAN_OPTIONS=print_stacktrace=1 \
     "build-fuzz/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -max_len="$(max_len_of "$t")" -print_final_stats=1 -artifact_prefix="$artifacts" \
       "${inputs[@]}" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$t")
    tail -n 40 "$log"
  fi
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  summary+=("$(printf '%-18s %-7s %12s executions %8s/s' "$t" "$status" "${execs:-?}" "${rate:-?}")")
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
  exit 1
fi
