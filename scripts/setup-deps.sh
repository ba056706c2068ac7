#!/usr/bin/env bash
# Installs, from Debian's repositories, every package that building, testing and running
# Quillmark needs, and any further packages named as arguments (the benchmark and fuzzing
# scripts name the tools they compare with or build with). Packages already present are
# skipped, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-image-formats-plugins qt6-qpa-plugins
  qt6-svg-dev
  # Qt Network (in qt6-base-dev) checks the newsletter server's HTTPS certificate against these.
  ca-certificates
  libgl-dev libxkbcommon-dev libxcb1-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fontconfig libfontconfig-dev fonts-urw-base35 fonts-dejavu-core
  # The path toolkit's tests and benchmarks compare with lib2geom (whose headers need Boost's);
  # the application does not link them.
  lib2geom-dev libboost-dev
  # Saving pictures is compared with libpng writing the same pictures (benchmarks only).
  libpng-dev
  # A face with Devanagari, so that the long-text benchmarks lay out real conjuncts beside
  # QTextDocument rather than missing glyphs.
  fonts-lohit-deva
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
elif command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
else
  echo "setup-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || $SUDO apt-get update
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
