#!/usr/bin/env bash
# Builds the benchmarks in release mode, runs them, and compares the exact render of the
# canvas chain with the vips command-line tool doing the same saturation, blur and
# vignette-like multiply on the same 24-megapixel picture, in the same run.
# Prints our time, vips's time and the ratio (ours / vips; at most 1.0 is the target).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

if ! command -v vips >/dev/null 2>&1 || [ ! -e /usr/include/opencv4/opencv2/imgproc.hpp ]; then
  if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends libvips-tools libopencv-imgproc-dev
fi

build=${QUILLMARK_BENCH_BUILD_DIR:-build/imaging-rel}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DQUILLMARK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target bench_imaging

work=$(mktemp -d "${TMPDIR:-/dev/shm}/quillmark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

bench="$build/bench/bench_imaging"
"$bench" --write-picture="$work/picture.ppm" --write-vignette="$work/vignette.pgm"

# vips: saturation 1.5 as a colour matrix mixing with the same luma, a Gaussian blur of
# sigma 5 cut at 3 sigma (as ours), the vignette's factors multiplied in, back to 8 bits.
# Inputs are converted to vips's own format first (not timed); every step runs at full
# resolution on all cores, through files in memory.
vips copy "$work/picture.ppm" "$work/picture.v"
vips linear "$work/vignette.pgm" "$work/vignette.v" 0.00392156862745098 0
s=1.5
python3 - "$s" >"$work/saturation.mat" <<'PY'
import sys
s = float(sys.argv[1]); L = (0.2125, 0.7154, 0.0721)
print("3 3")
for i in range(3):
    print(" ".join(repr((1 - s) * L[j] + (s if i == j else 0.0)) for j in range(3)))
PY
vips_once() {
  local t0 t1
  t0=$(date +%s.%N)
  vips recomb "$work/picture.v" "$work/sat.v" "$work/saturation.mat"
  vips gaussblur "$work/sat.v" "$work/blur.v" 5 --min-ampl 0.011
  vips multiply "$work/blur.v" "$work/vignette.v" "$work/vig.v"
  vips cast "$work/vig.v" "$work/out.v" uchar
  t1=$(date +%s.%N)
  python3 -c "print(($t1 - $t0) * 1000)"
}
vips_times=()
for _ in 1 2 3 4 5; do vips_times+=("$(vips_once)"); done
vips_ms=$(printf '%s\n' "${vips_times[@]}" | sort -g | sed -n 3p)

"$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/ours.json" --benchmark_out_format=json
read -r exact_ms display_ms display2_ms separate_ms <<<"$(python3 - "$work/ours.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
def median(prefix):
    for r in runs:
        if r["name"].startswith(prefix) and r.get("aggregate_name") == "median":
            return r["real_time"]
    return float("nan")
import os
n = os.cpu_count()
print(median(f"BM_ExactFullResolution/{n}/"), median(f"BM_DisplayBothLayersFitOneRequest/{n}/"),
      median("BM_DisplayBothLayersFitOneRequest/2/"), median(f"BM_DisplayBothLayersFit/{n}/"))
PY
)"

echo
echo "exact chain, 24 MP, full resolution: ${exact_ms} ms (median)"
echo "vips saturation + blur + vignette:   ${vips_ms} ms (median of 5)"
python3 -c "print(f'ratio ours / vips: {float(\"$exact_ms\") / float(\"$vips_ms\"):.2f} (target <= 1.0)')"
echo "display path, both layers in one request, 1600 x 1000 fit: ${display_ms} ms on all cores," \
  "${display2_ms} ms on 2 threads (medians; target < 16 ms)"
echo "  (the two layers as two separate requests: ${separate_ms} ms on all cores)"
