#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Debian's clang 14 and runs every one of them, side
# by side, for the given number of seconds.
#
#   scripts/fuzz.sh [seconds] [target...]      seconds defaults to 60; targets to all of them
#
# QUILLMARK_FUZZ_TIMEOUT (default 10) is the seconds one input may take before the fuzzer calls
# it a hang; QUILLMARK_FUZZ_JOBS (default: every core) the build's parallel jobs;
# QUILLMARK_FUZZ_FRESH=1 starts every corpus empty, so that a run's length does not grow with
# what earlier runs found (CI).
#
# Each target grows its own corpus in build/fuzz/corpus/<target>, starting from the inputs
# kept in tests/data/regressions/<target>/ and a few valid ones written by fuzz_seeds, so every
# kept input is run again first. What crashes, hangs or runs out of memory (4 GB) lands in
# build/fuzz/crashes/<target>/ and makes the script fail; copy such an input into
# tests/data/regressions/<target>/ once the fault is mended, so that the regression tests
# replay it. The output of each run is in build/fuzz/logs/<target>.log.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(archive_fuzz picture_fuzz coverage_fuzz document_fuzz path_toolkit_fuzz)
build="$root/build/fuzz"
timeout="${QUILLMARK_FUZZ_TIMEOUT:-10}"
jobs="${QUILLMARK_FUZZ_JOBS:-$(nproc)}"

# clang, and its runtime with libFuzzer and the sanitizers; ccache keeps rebuilds quick.
"$root/scripts/setup-deps.sh" clang-14 libclang-rt-14-dev ccache

CXX=clang++-14 cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" --parallel "$jobs" --target fuzz_seeds "${targets[@]}"

rm -rf "$build/seeds"
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "$build/fuzz_seeds" "$build/seeds"

# Libraries that keep what they load for the whole process are no leaks of ours.
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
declare -A max_len=([archive_fuzz]=65536 [picture_fuzz]=262144 [coverage_fuzz]=4096 [document_fuzz]=65536)
mkdir -p "$build/logs"
# Findings of earlier runs stay where they are; only this run's count.
started="$build/logs/.started"
touch "$started"
pids=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  crashes="$build/crashes/$target"
  regressions="$root/tests/data/regressions/$target"
  [ "${QUILLMARK_FUZZ_FRESH:-0}" = 1 ] && rm -rf "$corpus"
  mkdir -p "$corpus" "$crashes" "$build/seeds/$target"
  inputs=("$corpus" "$build/seeds/$target")
  [ -d "$regressions" ] && inputs+=("$regressions")
  # libFuzzer cuts every input it reads to -max_len: the kept inputs (documents at the
  # reader's limits are megabytes) must be run whole.
  len="${max_len[$target]:-65536}"
  if [ -d "$regressions" ]; then
    largest="$(find "$regressions" -type f -printf '%s\n' | sort -n | tail -1)"
    [ -n "$largest" ] && [ "$largest" -gt "$len" ] && len="$largest"
  fi
  echo "fuzz: $target for $seconds s, $timeout s an input"
  # The first folder is the one the fuzzer adds to; the others are only read. An input is
  # reported slow only at the hang limit: the documents at the reader's limits take longer
  # than libFuzzer's default 10 s under its instrumentation, and are meant to.
  "$build/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout="$timeout" \
    -report_slow_units="$timeout" -max_len="$len" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${inputs[@]}" >"$build/logs/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  target="${targets[$i]}"
  wait "${pids[$i]}" || status=1
  log="$build/logs/$target.log"
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  found="$(find "$build/crashes/$target" -type f -newer "$started" | wc -l)"
  echo "fuzz: $target: ${runs:-?} runs, $found new inputs in build/fuzz/crashes/$target"
  if [ "$found" -ne 0 ]; then
    status=1
    grep -E '^==[0-9]+== ?ERROR|^SUMMARY|Test unit written' "$log" | sed "s/^/fuzz: $target: /" >&2 || true
  fi
done
exit $status
