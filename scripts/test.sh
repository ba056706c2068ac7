#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice, headless: once with
# AddressSanitizer and UndefinedBehaviorSanitizer, once in the release build that
# scripts/run.sh makes (users run that build, and compilers fault where sanitizers change the
# code), then builds and runs every fuzz target for 30 s (scripts/fuzz.sh) and drives the
# application under a virtual X server as a person would (scripts/smoke-app.sh). Arguments go
# to CTest in both runs and skip the fuzzing and the session. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

jobs=$(nproc)
# A compiler cache keyed on paths below this checkout, so that a fresh clone in another folder
# reuses what an earlier build of the same sources compiled (the precompiled headers included).
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_suite() { # build dir, then cmake options
  local build=$1
  shift
  echo "== $build"
  cmake -S . -B "$build" -G Ninja "$@" >/dev/null
  cmake --build "$build" --parallel "$jobs"
  ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 300 "${ctest_args[@]}"
}

ctest_args=("$@")
run_suite "${QUILLMARK_TEST_BUILD_DIR:-build/sanitize}" -DCMAKE_BUILD_TYPE=Debug \
  -DQUILLMARK_SANITIZE=ON -DQUILLMARK_BUILD_BENCH=OFF
# The same configuration as scripts/run.sh.
run_suite "${QUILLMARK_RELEASE_BUILD_DIR:-build/release}" -DCMAKE_BUILD_TYPE=Release
# The release build installs as a desktop application: validated entry and description, a
# temporary prefix, and a Debian package.
if [ ${#ctest_args[@]} -eq 0 ]; then
  scripts/check-package.sh "${QUILLMARK_RELEASE_BUILD_DIR:-build/release}"
fi
# Every fuzz target built with clang (so none can rot) and run for 30 s over its kept inputs
# and seeds. An input may take 25 s before it counts as a hang: long enough for slow but sound
# openings, short enough to catch a frozen first paint.
# The kept inputs are held to 5 s a replay (fuzz.sh's default, where a developer runs it); here
# one fails the run only past twice that, so that a busy machine cannot fail it at random while
# an input that has truly grown slow still does. The slowest is printed either way.
if [ ${#ctest_args[@]} -eq 0 ]; then
  QUILLMARK_FUZZ_TIMEOUT=25 QUILLMARK_FUZZ_REPLAY_LIMIT=10 QUILLMARK_FUZZ_JOBS="$jobs" \
    QUILLMARK_FUZZ_FRESH=1 scripts/fuzz.sh 30
fi
# A person's session with the release application under a virtual X server: a photo opened, a
# text box typed, saved, reopened and exported; the screenshots stay in build/smoke.
if [ ${#ctest_args[@]} -eq 0 ]; then
  env -u QT_QPA_PLATFORM QUILLMARK_BUILD="$PWD/${QUILLMARK_RELEASE_BUILD_DIR:-build/release}" \
    scripts/smoke-app.sh build/smoke
fi
