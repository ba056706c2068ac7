#!/usr/bin/env bash
# Start-up time: from launching the release build under a virtual X server to the first paint
# of its first window (the application logs that moment), five times; prints each and the
# median, which should stay within 500 ms.
#
#   scripts/bench-app.sh [runs]        runs defaults to 5; QUILLMARK_BUILD names the build folder
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLMARK_BUILD:-$root/build/release}" # another build folder may be named
app="$build/src/app/quillmark"

measure() {
  # A fresh settings folder: the welcome window shows, as at a first start.
  local config="$work/config.$1" log="$work/log.$1"
  mkdir -p "$config"
  local start end
  start=$(date +%s%3N)
  XDG_CONFIG_HOME="$config" QT_LOGGING_RULES="quillmark.app.info=true" "$app" 2>"$log" &
  local pid=$!
  for _ in $(seq 1 200); do
    grep -q "first paint at" "$log" 2>/dev/null && break
    sleep 0.02
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  end=$(grep -o "first paint at [0-9]*" "$log" | grep -o "[0-9]*$" || true)
  [ -n "$end" ] || { echo "bench-app: run $1 never painted" >&2; cat "$log" >&2; exit 1; }
  echo $((end - start))
}

# Inside the virtual X server: the runs themselves.
if [ "${1:-}" = "--runs" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  for i in $(seq 1 "$2"); do measure "$i"; done
  exit 0
fi

runs="${1:-5}"
"$root/scripts/setup-deps.sh" xvfb xauth
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel 4 --target quillmark

times=$(xvfb-run -a "$0" --runs "$runs")
echo "start to first paint (ms): $(echo $times)"
median=$(printf '%s\n' $times | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "median: $median ms"
