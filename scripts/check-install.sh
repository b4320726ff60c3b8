#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what lands there: the
# program, the shipped defaults, the desktop entry, the icons, the AppStream
# metadata and the manual page; then validates the desktop entry and the
# metadata with their tools. Run by CTest as check_install:
#   scripts/check-install.sh <build folder>
set -euo pipefail
build=${1:?build folder}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/mivaromap
  share/mivaromap/castlelist.csv
  share/mivaromap/classsetting.ini
  share/mivaromap/mivaromap.ini
  share/mivaromap/help/maintab1.ini
  share/applications/org.mivaromap.MivaroMap.desktop
  share/metainfo/org.mivaromap.MivaroMap.metainfo.xml
  share/icons/hicolor/scalable/apps/mivaromap.svg
  share/man/man1/mivaromap.1.gz
  share/doc/mivaromap/copyright
  share/doc/mivaromap/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/mivaromap.png")
done
status=0
for f in "${expected[@]}"; do
  if [ ! -s "$prefix/$f" ]; then
    echo "missing from the installation: $f"
    status=1
  fi
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.mivaromap.MivaroMap.desktop" || status=1
else
  echo "SKIP: desktop-file-validate is not installed (scripts/setup.sh installs desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.mivaromap.MivaroMap.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$prefix/share/metainfo/org.mivaromap.MivaroMap.metainfo.xml"; status=1; }
else
  echo "SKIP: appstreamcli is not installed (scripts/setup.sh installs appstream)"
fi
exit $status
