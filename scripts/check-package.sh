#!/usr/bin/env bash
# Checks that Quillmark installs as a desktop application from a release build directory
# (default build/release): the desktop entry and the software-centre description validate,
# `cmake --install` fills a temporary prefix with the program, its artwork, fonts aliases,
# icons, document type and entry, the installed program starts from that prefix, and
# `cpack -G DEB` makes a package that holds the same files under /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh desktop-file-utils appstream xvfb xauth
build=${1:-build/release}

desktop-file-validate resources/org.quillmark.Quillmark.desktop
appstreamcli validate --no-net --explain resources/org.quillmark.Quillmark.metainfo.xml

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
expected=(
  bin/quillmark
  share/applications/org.quillmark.Quillmark.desktop
  share/metainfo/org.quillmark.Quillmark.metainfo.xml
  share/mime/packages/quillmark.xml
  share/icons/hicolor/scalable/apps/quillmark.svg
  share/icons/hicolor/48x48/apps/quillmark.png
  share/icons/hicolor/256x256/apps/quillmark.png
  share/quillmark/fontconfig/30-quillmark-aliases.conf
  share/quillmark/resources/blurslider.svg
)
for f in "${expected[@]}"; do
  [ -e "$prefix/$f" ] || { echo "check-package: $f is not installed" >&2; exit 1; }
done
# The installed program finds its artwork beside itself, not in the source tree: started from
# the prefix with the source tree out of reach, it must come up and stay up until it is closed.
desktop_exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$prefix/share/applications/org.quillmark.Quillmark.desktop")
[ "$desktop_exec" = quillmark ] || { echo "check-package: Exec is '$desktop_exec'" >&2; exit 1; }
log=$prefix/run.log
status=0
QT_LOGGING_RULES="quillmark.platform.ui.debug=true" QT_QPA_PLATFORM=offscreen PATH="$prefix/bin:$PATH" timeout 5 "$desktop_exec" >"$log" 2>&1 || status=$?
# 124: still running when the time was up, which is what a started application does.
[ $status -eq 124 ] || { cat "$log" >&2; echo "check-package: quillmark exited with $status" >&2; exit 1; }
if grep -q "no artwork named\|could not load the font aliases" "$log"; then
  cat "$log" >&2
  echo "check-package: the installed program misses its resources" >&2
  exit 1
fi

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/quillmark_*.deb | head -1)
contents=$(dpkg-deb -c "$deb")
for f in "${expected[@]}"; do
  grep -q "\./usr/$f\$" <<<"$contents" || { echo "check-package: $deb lacks /usr/$f" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "check-package: $deb has no Qt dependency" >&2; exit 1; }
echo "check-package: $deb"
