#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with Debian's clang 14 and runs every one of them, side
# by side, for the given number of seconds.
#
#   scripts/fuzz.sh [seconds] [target...]      seconds defaults to 60; targets to all of them
#
# QUILLMARK_FUZZ_TIMEOUT (default 10) is the seconds one input may take before the fuzzer calls
# it a hang; QUILLMARK_FUZZ_REPLAY_LIMIT (default 5) the seconds one kept input may take when
# replayed; QUILLMARK_FUZZ_JOBS (default: every core) the build's parallel jobs;
# QUILLMARK_FUZZ_FRESH=1 starts every corpus empty, so that a run's length does not grow with
# what earlier runs found (CI).
#
# First every input kept in tests/data/regressions/<target>/ is replayed once, one target after
# another before any fuzzing starts, and timed: the slowest is printed with its time, and one
# over the replay limit fails the script. The limit is well below the hang limit because the
# fuzzer's own alarm sees a slow input only when its signal lands on the fuzzing thread, while
# the document target's work runs on worker threads: an input near the hang limit fails a loaded
# machine's run at random. Then each target grows its own corpus in build/fuzz/corpus/<target>,
# starting from its kept inputs and a few valid ones written by fuzz_seeds. What crashes, hangs
# or runs out of memory (4 GB) lands in build/fuzz/crashes/<target>/ and makes the script fail;
# copy such an input into tests/data/regressions/<target>/ once the fault is mended, so that the
# regression tests replay it. The output of each run is in build/fuzz/logs/<target>.log, of each
# replay in build/fuzz/logs/<target>.replay.log.
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
status=0
# Findings of earlier runs stay where they are; only this run's count.
started="$build/logs/.started"
touch "$started"

# Replays one target's kept inputs in one process, which libFuzzer runs whole and times one by
# one ("Executed <file> in <n> ms"). An input still running after the hang limit is stopped
# here, whichever thread its work is on.
replay() { # target, folder of kept inputs, log
  local target=$1 folder=$2 log=$3
  local files=("$folder"/*)
  [ -e "${files[0]}" ] || return 0
  # Slowness is judged below, against the replay limit; what crashes lands with the findings.
  mkdir -p "$build/crashes/$target"
  "$build/$target" -rss_limit_mb=4096 -timeout="$timeout" -report_slow_units=1000000 \
    -artifact_prefix="$build/crashes/$target/" "${files[@]}" >"$log" 2>&1 &
  local pid=$! running="" since=$SECONDS now
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.2
    now="$(grep -c '^Running: ' "$log" || true)"
    [ "$now" != "$running" ] && running=$now && since=$SECONDS
    if [ $((SECONDS - since)) -gt "$timeout" ]; then
      echo "fuzz: $target: $(grep '^Running: ' "$log" | tail -1 | cut -c10-) still running" \
        "after $timeout s: stopped" >&2
      kill "$pid" 2>/dev/null || true
      break
    fi
  done
  wait "$pid"
}

limit_ms=$((${QUILLMARK_FUZZ_REPLAY_LIMIT:-5} * 1000))
slowest_ms=-1
slowest=""
for target in "${targets[@]}"; do
  regressions="$root/tests/data/regressions/$target"
  [ -d "$regressions" ] || continue
  log="$build/logs/$target.replay.log"
  if ! replay "$target" "$regressions" "$log"; then
    status=1
    echo "fuzz: $target: replaying its kept inputs failed (see $log)" >&2
    grep -E '^Running: |^==[0-9]+== ?ERROR|^SUMMARY' "$log" | tail -3 | sed "s/^/fuzz: $target: /" >&2 || true
  fi
  while read -r ms file; do
    name="$target/$(basename "$file")"
    if [ "$ms" -gt "$slowest_ms" ]; then
      slowest_ms=$ms
      slowest=$name
    fi
    if [ "$ms" -gt "$limit_ms" ]; then
      status=1
      echo "fuzz: kept input $name took $ms ms, over the replay limit of $limit_ms ms:" \
        "shrink it until it reaches the same code sooner" >&2
    fi
  done < <(sed -n 's/^Executed \(.*\) in \([0-9]*\) ms$/\2 \1/p' "$log")
done
[ -n "$slowest" ] && echo "fuzz: slowest kept input: $slowest, $slowest_ms ms (limit $limit_ms ms)"

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
