#!/usr/bin/env bash
# Atomic saves under fire: a child process saves a 20 MB document again and again and is
# SIGKILLed at a random moment, 1000 times (or as many as given); after each kill the file must
# hold the old or the new bytes, never a mix. Uses the document service tests' own child mode.
#
#   scripts/crash-save.sh [kills]        kills defaults to 1000
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
kills="${1:-1000}"
build="$root/build/crash-save"

"$root/scripts/setup-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --parallel 4 --target test_platform_document

QT_QPA_PLATFORM=offscreen QUILLMARK_SAVE_KILLS="$kills" \
  "$build/tests/test_platform_document" --gtest_filter='AtomicSave.KilledSavesLeaveOldOrNewBytes'
echo "crash-save: $kills kills, the file was whole every time"
