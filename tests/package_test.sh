#!/usr/bin/env bash
# Builds the Debian package from the build folder, lists its files and checks
# them with Debian's own tools: lintian (no errors, no missing hardening),
# desktop-file-validate and appstreamcli.
# usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
cd "$build"
rm -f boxtolo_*.deb
cpack -G DEB >/dev/null
deb=$(ls boxtolo_*.deb)
listing=$(dpkg-deb -c "$deb" | awk '{print $6, $7, $8}' | sed 's/ *$//')
echo "$listing"
for path in ./usr/games/boxtolo ./usr/share/games/boxtolo/tiles.png ./usr/share/games/boxtolo/palyak.txt \
    ./usr/share/applications/hu.boxtolo.Boxtolo.desktop ./usr/share/metainfo/hu.boxtolo.Boxtolo.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/hu.boxtolo.Boxtolo.svg ./usr/share/doc/boxtolo/copyright; do
  grep -qx "$path" <<<"$listing" || { echo "missing: $path"; exit 1; }
done
# The font is Debian's own, used in place.
grep -qx "./usr/share/games/boxtolo/font.ttf -> ../../fonts/truetype/dejavu/DejaVuSansCondensed.ttf" <<<"$listing" \
  || { echo "font.ttf is not a link to Debian's font"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q "fonts-dejavu-extra" || { echo "no font dependency"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q "libsdl2-ttf-2.0-0" || { echo "no SDL2_ttf dependency"; exit 1; }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/hu.boxtolo.Boxtolo.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/hu.boxtolo.Boxtolo.metainfo.xml"
tags=$(lintian -I --pedantic --no-tag-display-limit "$deb" 2>&1)
if grep -E "^E: " <<<"$tags"; then
  echo "lintian found errors"
  exit 1
fi
# Built hardened as Debian's own binaries are.
if grep -E "hardening-" <<<"$tags"; then
  echo "lintian finds the binary not hardened"
  exit 1
fi
echo "1 passed, 0 failed"
