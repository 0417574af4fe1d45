#!/usr/bin/env bash
# Checks that a build installs as a desktop application and packs into a
# Debian package that declares what it needs:
#
#   bash scripts/check-install.sh BUILD_DIR
#
# Installs into a staging folder with prefix /usr, looks for every file the
# install should give, validates the desktop entry and the AppStream
# metainfo, runs the installed programs, builds the .deb with CPack and reads
# its file list and dependencies back. Nothing is installed outside a temporary
# folder. Prints each failure and exits non-zero when there is any.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: bash scripts/check-install.sh BUILD_DIR" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" 2>/dev/null && pwd)" || { echo "check-install: no build folder $1" >&2; exit 2; }
if [ ! -f "$build/CMakeCache.txt" ] || [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "check-install: $build is not a configured build; build it first, e.g. bash scripts/build.sh build" >&2
  exit 2
fi
if [ ! -x "$build/quorvane-editor" ]; then
  echo "check-install: $build/quorvane-editor is not built; build it first, e.g. bash scripts/build.sh build" >&2
  exit 2
fi
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-install: $tool is missing; run: bash scripts/install-deps.sh" >&2
    exit 2
  fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
stage="$work/stage"
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

app=com.velsk.QuorvaneEditor
# Every file the install gives, relative to the prefix.
expected=(
  bin/quorvane-editor
  bin/kq5-pedal-sim
  bin/Quorvane_Win_Updater.exe
  share/applications/$app.desktop
  share/metainfo/$app.metainfo.xml
  share/icons/hicolor/scalable/apps/$app.svg
  share/man/man1/quorvane-editor.1
  share/man/man1/kq5-pedal-sim.1
  lib/udev/rules.d/70-quorvane-kq5.rules
)
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app.png")
done
if [ -e "$build/kq5ctl" ]; then
  # Its manual page is made from its --help at build time.
  expected+=(bin/kq5ctl share/man/man1/kq5ctl.1 share/bash-completion/completions/kq5ctl)
fi

echo "== Install into a staging folder =="
if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAILED: cmake --install" >&2
  exit 1
fi
for file in "${expected[@]}"; do
  [ -f "$stage/usr/$file" ] || fail "the install gives no /usr/$file"
done
for program in quorvane-editor kq5-pedal-sim Quorvane_Win_Updater.exe; do
  [ ! -f "$stage/usr/bin/$program" ] || [ -x "$stage/usr/bin/$program" ] \
    || fail "/usr/bin/$program is not executable"
done
# Each PNG is as large as the theme folder it sits in says.
for size in "${sizes[@]}"; do
  png="$stage/usr/share/icons/hicolor/${size}x${size}/apps/$app.png"
  [ -f "$png" ] || continue
  actual="$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$png")"
  [ "$actual" = "${size}x${size}" ] || fail "$app.png in ${size}x${size} is $actual"
done

echo "== Desktop entry =="
desktop="$stage/usr/share/applications/$app.desktop"
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate $app.desktop"
  # Its Exec and Icon name what the install gives.
  exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
  [ -x "$stage/usr/bin/$exec_name" ] || fail "$app.desktop starts \"$exec_name\", which is not installed"
  icon_name="$(sed -n 's/^Icon=//p' "$desktop")"
  [ -f "$stage/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] \
    || fail "$app.desktop names the icon \"$icon_name\", which is not installed"
fi

echo "== AppStream metainfo =="
metainfo="$stage/usr/share/metainfo/$app.metainfo.xml"
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $app.metainfo.xml"
  # The metainfo with the desktop entry and icon it points to, as installed.
  appstreamcli validate-tree --no-net "$stage" || fail "appstreamcli validate-tree"
fi

echo "== Installed programs run =="
if [ -x "$stage/usr/bin/quorvane-editor" ] && [ -f "$metainfo" ]; then
  version="$("$stage/usr/bin/quorvane-editor" --version 2>&1)" || fail "quorvane-editor --version: $version"
  echo "$version"
  release="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
  [ "$version" = "quorvane-editor $release" ] \
    || fail "the installed editor says \"$version\", its metainfo's release is \"$release\""
fi
if [ -x "$stage/usr/bin/kq5-pedal-sim" ]; then
  "$stage/usr/bin/kq5-pedal-sim" --help >"$work/sim-help.txt" 2>&1 \
    || { cat "$work/sim-help.txt" >&2; fail "kq5-pedal-sim --help"; }
fi

echo "== Another prefix: where the udev rule goes =="
if ! DESTDIR="$work/opt" cmake --install "$build" --prefix /opt/quorvane >"$work/opt.log" 2>&1; then
  cat "$work/opt.log" >&2
  fail "cmake --install --prefix /opt/quorvane"
elif ! grep -q "/etc/udev/rules.d" "$work/opt.log" || ! grep -q "udevadm control --reload" "$work/opt.log"; then
  cat "$work/opt.log" >&2
  fail "an install under /opt/quorvane does not say to copy the udev rule to /etc/udev/rules.d and reload udev"
fi

echo "== Debian package =="
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack -G DEB" >&2
  exit 1
fi
debs=("$work/deb"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack -G DEB made no single .deb" >&2
  exit 1
fi
deb="${debs[0]}"
echo "$(basename "$deb")"
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents.txt"
for file in "${expected[@]}"; do
  grep -qxF "/usr/$file" "$work/contents.txt" || fail "the package holds no /usr/$file"
done
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6serialport6 \
               qt6-qpa-plugins libqt6svg6; do
  # A package name as a whole word of the list, with or without a version.
  grep -qE "(^|[ ,|])$package([ ,|(]|$)" <<<"$depends" || fail "the package does not depend on $package"
done

if [ "$failures" -ne 0 ]; then
  echo "check-install: $failures failure(s)" >&2
  exit 1
fi
echo "== Install and package: all checks passed =="
