#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs every one of them, side by side,
# for the given number of seconds.
#
#   scripts/fuzz.sh [seconds] [target...]      seconds defaults to 60; targets to all of them
#
# Each target grows its own corpus in build/fuzz/corpus/<target>, starting from the inputs
# kept in tests/data/regressions/<target>/ and a few valid ones written by fuzz_seeds. What
# crashes, times out (10 s) or runs out of memory (4 GB) lands in build/fuzz/crashes/<target>/;
# copy such an input into tests/data/regressions/<target>/ once the fault is mended, so that
# the regression tests replay it. The output of each run is in build/fuzz/logs/<target>.log.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(archive_fuzz picture_fuzz coverage_fuzz document_fuzz)
build="$root/build/fuzz"

# clang, and the runtime with libFuzzer and the sanitizers for its version.
"$root/scripts/setup-deps.sh" clang
major="$(clang++ -dumpversion | cut -d. -f1)"
"$root/scripts/setup-deps.sh" "libclang-rt-$major-dev"

CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel 4 --target fuzz_seeds "${targets[@]}"

rm -rf "$build/seeds"
ASAN_OPTIONS=detect_leaks=0 "$build/fuzz_seeds" "$build/seeds"

declare -A max_len=([archive_fuzz]=65536 [picture_fuzz]=262144 [coverage_fuzz]=4096 [document_fuzz]=65536)
mkdir -p "$build/logs"
pids=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  crashes="$build/crashes/$target"
  regressions="$root/tests/data/regressions/$target"
  mkdir -p "$corpus" "$crashes" "$build/seeds/$target"
  inputs=("$corpus" "$build/seeds/$target")
  [ -d "$regressions" ] && inputs+=("$regressions")
  echo "fuzz: $target for $seconds s"
  # The first folder is the one the fuzzer adds to; the others are only read.
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
    -max_len="${max_len[$target]:-65536}" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${inputs[@]}" >"$build/logs/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  target="${targets[$i]}"
  wait "${pids[$i]}" || status=1
  log="$build/logs/$target.log"
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  found="$(find "$build/crashes/$target" -type f | wc -l)"
  echo "fuzz: $target: ${runs:-?} runs, $found inputs in build/fuzz/crashes/$target"
  [ "$found" -eq 0 ] || status=1
done
exit $status
