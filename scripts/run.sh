#!/usr/bin/env bash
# Installs what is missing, makes a release build and starts the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)"

if [ -x "$build/src/app/quillmark" ]; then
  exec "$build/src/app/quillmark" "$@"
fi
echo "Quillmark: everything is built, but there is no application to start yet."
