#!/usr/bin/env bash
# Builds the imaging benchmarks in release mode and runs them. The exact render of the canvas
# chain's picture layer (saturation 1.5, Gaussian blur of sigma 5, vignette, 8 bits) on a
# 24-megapixel picture is timed beside the same operations as one libvips pipeline in the same
# process, rendered into memory, both on all cores in the same run (bench/VipsAnchorBench.cpp).
# Prints our time, libvips's, the ratio (ours / libvips; at most 0.12 is the target), the PSNR
# of our output against libvips's (above 40 dB: the two do the same work), and the display
# path's frame times.
set -euo pipefail
cd "$(dirname "$0")/.."
# With the development files of the public tools the benchmarks compare with: libvips (the
# filter chain), librsvg (shape drawing) and OpenCV's imgproc (warp and flood fill).
scripts/setup-deps.sh libvips-dev librsvg2-dev libopencv-imgproc-dev

build=${QUILLMARK_BENCH_BUILD_DIR:-build/imaging-rel}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_TESTS=OFF \
  -DQUILLMARK_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target bench_imaging bench_vips_anchor bench_shapes \
  bench_container bench_canvas bench_controls bench_document bench_textbox bench_graphics \
  bench_heavy_shadows bench_inspector bench_paths

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Repetitions interleaved at random, so that load from elsewhere on the machine falls on both.
"$build/bench/bench_vips_anchor" --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/anchor.json" --benchmark_out_format=json | tee "$work/anchor.txt"
"$build/bench/bench_imaging" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/imaging.json" --benchmark_out_format=json

python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
def medians(name):
    runs = json.load(open(os.path.join(work, name)))["benchmarks"]
    return {r["run_name"]: r["real_time"] for r in runs if r.get("aggregate_name") == "median"}
anchor, imaging = medians("anchor.json"), medians("imaging.json")
def get(runs, name):
    return runs.get(name + "/real_time", float("nan"))
psnr = {}
export = None
for line in open(os.path.join(work, "anchor.txt")):
    w = line.split()
    if w and w[0] == "psnr_db":
        psnr[w[1]] = (float(w[2]), int(w[4]), w[6])
    if len(w) >= 8 and w[0] == "export_psnr_db":
        export = (float(w[1]), int(w[3]), int(w[5]), int(w[7]))
n = os.cpu_count()
ours, vips = get(anchor, "BM_Ours"), get(anchor, "BM_Vips/1")
db, worst, share = psnr.get("rounded", (float("nan"), -1, "?"))
print()
print(f"exact picture layer, 24 MP, all cores:  ours {ours:.0f} ms, "
      f"libvips {vips:.0f} ms (one pipeline, in memory; medians of 5)")
print(f"ratio ours / libvips: {ours / vips:.2f} (target <= 0.12)")
print(f"PSNR ours against libvips: {db:.1f} dB (largest difference {worst}, "
      f"{share} of values differ)")
if "truncated" in psnr:
    print(f"  (libvips with its plain truncating cast: {get(anchor, 'BM_Vips/0'):.0f} ms, "
          f"PSNR {psnr['truncated'][0]:.1f} dB)")
mine, theirs = get(anchor, "BM_ExportOurs"), get(anchor, "BM_ExportVips")
print(f"export of that picture as JPEG (quality 90, 4:4:4, into memory): ours {mine:.0f} ms, "
      f"libvips's pipeline into jpegsave {theirs:.0f} ms; ratio {mine / theirs:.2f} (target <= 0.8)")
if export:
    print(f"  PSNR of the two files against each other {export[0]:.1f} dB (largest difference "
          f"{export[1]}); ours {export[2]} bytes, libvips's {export[3]} bytes")
print(f"exact canvas layer over the boxes (the same through the mask): "
      f"{get(imaging, f'BM_ExactFullResolution/{n}'):.0f} ms")
print(f"display path, both layers in one request, 1600 x 1000 fit: "
      f"{get(imaging, f'BM_DisplayBothLayersFitOneRequest/{n}'):.1f} ms on all cores, "
      f"{get(imaging, 'BM_DisplayBothLayersFitOneRequest/2'):.1f} ms on 2 threads "
      "(medians; target < 16 ms)")
print(f"  (the two layers as two separate requests: "
      f"{get(imaging, f'BM_DisplayBothLayersFit/{n}'):.1f} ms on all cores)")
PY

# Shapes beside librsvg, the warp and flood fill beside OpenCV, the layer's undo: each
# program times ours and the public tool in the same run and prints both.
echo
"$build/bench/bench_shapes" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='ShapeRedraw/|Librsvg|LongPath'
"$build/bench/bench_container" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# The canvas: the whole export (BM_ExportJpeg, with the peak memory it adds per pixel as
# "bytes/px"; target <= 5) and its JPEG encoding beside libvips's jpegsave of the same pixels
# at the same quality and subsampling (BM_EncodeJpeg: "vips ratio", both files' sizes and
# PSNR). Then the controls' repaints (absolute budgets) and opening a document (beside libvips
# decoding the same JPEG).
echo
"$build/bench/bench_canvas" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$build/bench/bench_controls" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$build/bench/bench_document"

# Long text and wide shadows beside QTextDocument and OpenCV, the inspector's refreshes and
# font changes beside QTextDocument, and the path toolkit beside lib2geom: each in one run.
echo
"$build/bench/bench_textbox" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$build/bench/bench_graphics" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='AlphaBlur|OpenCv'
"$build/bench/bench_heavy_shadows"
"$build/bench/bench_inspector" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
# bench_paths closes with a table: each operation's median time beside lib2geom's, the ratio
# and how far the answers agree.
"$build/bench/bench_paths" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

# The redraws and the slider change with the process held to 1 core, 2 cores and all of them
# (the pool sizes itself, and decides whether idle workers may spin, from the cores it may use):
# the text box beside librsvg in the same iterations, the shapes beside librsvg, and the
# saturation slider through the canvas.
echo
for cpus in 0 0,1 "0-$(($(nproc) - 1))"; do
  echo "== cores $cpus (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  taskset -c "$cpus" "$build/bench/bench_textbox" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_filter='BM_TextBoxRedrawBesideLibrsvg/0'
  taskset -c "$cpus" "$build/bench/bench_shapes" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_filter='ShapeRedraw/.*/8threads|Librsvg'
  taskset -c "$cpus" "$build/bench/bench_canvas" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_filter='BM_SliderChange'
done

# Growth: edits over many boxes, Select All and a document's first frame at 1x, 4x and 16x the
# work, each row's median and its multiple of the 1x row (4 and 16 are linear growth), with
# QTextDocument doing the same bold in the same run.
echo
"$build/bench/bench_inspector" --benchmark_filter='BM_BoldOver|BM_SelectAll' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/growth-inspector.json" --benchmark_out_format=json >/dev/null
"$build/bench/bench_heavy_shadows" --benchmark_filter='BM_OneCharacterBoxesFirstFrame' \
  --benchmark_out="$work/growth-frame.json" --benchmark_out_format=json >/dev/null
"$build/bench/bench_container" --benchmark_filter='BM_ArrowKeyNudge' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$work/growth-nudge.json" --benchmark_out_format=json >/dev/null
"$build/bench/bench_textbox" --benchmark_filter='BM_LongTextFirstPaint/' \
  --benchmark_out="$work/growth-text.json" --benchmark_out_format=json >/dev/null
python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
def times(name):
    out = {}
    for r in json.load(open(os.path.join(work, name)))["benchmarks"]:
        if r.get("run_type") == "aggregate" and r.get("aggregate_name") != "median":
            continue
        out[r["run_name"].replace("/real_time", "").replace("/manual_time", "")
            .replace("/iterations:3", "")] = r["real_time"]
    return out
t = {}
for name in ("growth-inspector.json", "growth-frame.json", "growth-nudge.json", "growth-text.json"):
    t.update(times(name))
rows = [
    ("bold over N text boxes", ["BM_BoldOverBoxes/50", "BM_BoldOver200Boxes", "BM_BoldOverBoxes/800"],
     ["BM_BoldOverBoxes_QTextDocument/50", "BM_BoldOver200Boxes_QTextDocument",
      "BM_BoldOverBoxes_QTextDocument/800"], "50 / 200 / 800"),
    ("Select All over N boxes", ["BM_SelectAll/625", "BM_SelectAll/2500", "BM_SelectAll/10000"],
     None, "625 / 2500 / 10000"),
    ("arrow-key nudge, N selected boxes", ["BM_ArrowKeyNudge/200/repeats:5",
     "BM_ArrowKeyNudge/800/repeats:5", "BM_ArrowKeyNudge/3200/repeats:5"], None,
     "200 / 800 / 3200"),
    ("first frame, N one-letter boxes",
     ["BM_OneCharacterBoxesFirstFrame/312", "BM_OneCharacterBoxesFirstFrame/1250",
      "BM_OneCharacterBoxesFirstFrame/5000"], None, "312 / 1250 / 5000"),
]
nan = float("nan")
print("growth (medians, ms)                 N                    1x        4x       16x   4x/1x  16x/1x")
for label, names, peers, ns in rows:
    v = [t.get(n, nan) for n in names]
    print(f"{label:36s} {ns:18s} {v[0]:9.1f} {v[1]:9.1f} {v[2]:9.1f} {v[1]/v[0]:7.2f} {v[2]/v[0]:7.2f}")
    if peers:
        p = [t.get(n, nan) for n in peers]
        print(f"{'  QTextDocument, same texts':36s} {ns:18s} {p[0]:9.1f} {p[1]:9.1f} {p[2]:9.1f} "
              f"{p[1]/p[0]:7.2f} {p[2]/p[0]:7.2f}")
        print(f"{'  ratio ours / QTextDocument':36s} {'':18s} {v[0]/p[0]:9.2f} {v[1]/p[1]:9.2f} "
              f"{v[2]/p[2]:9.2f}")
PY
