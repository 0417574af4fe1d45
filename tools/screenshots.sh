#!/usr/bin/env bash
# Pictures of the editor in each of its eight looks, for the README.
#
# Starts a virtual X server (Xvfb), then for every look 0..7 starts the built
# editor against the virtual pedal with a fresh documents folder whose
# "style.txt" names the look, and dumps its windows: the main window, and the
# service console opened with its key (Ctrl+Shift+P).
#
#   bash tools/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# Defaults: build/ and docs/looks/. Needs xvfb, x11-apps (xwd) and xdotool;
# installs them with apt-get when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/looks}"
editor="$build/quorvane-editor"

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xwd >/dev/null || need+=(x11-apps)
command -v xdotool >/dev/null || need+=(xdotool)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi
[ -x "$editor" ] || { echo "no editor at $editor: build it first (bash scripts/build.sh build)" >&2; exit 1; }

work="$(mktemp -d)"
display=":$(( 90 + RANDOM % 100 ))"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
editor_pid=""
cleanup() {
  [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; xwd -root -silent >/dev/null 2>&1 && break; sleep 0.1; done

# Dumps the first window with this exact title into a PNG.
shoot() {
  local title="$1" file="$2" id
  id="$(timeout 15 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n1)" || true
  [ -n "$id" ] || return 1
  sleep 0.5 # let it paint
  xwd -silent -id "$id" -out "$work/shot.xwd"
  python3 "$root/tools/xwd2png.py" "$work/shot.xwd" "$file"
  echo "$file"
}

mkdir -p "$out"
for look in 0 1 2 3 4 5 6 7; do
  home="$work/home$look"
  mkdir -p "$home/Documents/Velsk"
  printf '%s' "$look" >"$home/Documents/Velsk/style.txt"
  # No pedal answers the version check; keep the notice away.
  HOME="$home" XDG_DOCUMENTS_DIR="$home/Documents" XDG_CONFIG_HOME="$home/.config" \
    "$editor" --simulator --update-server http://127.0.0.1:9 >"$work/editor$look.log" 2>&1 &
  editor_pid=$!
  shoot "Quorvane Editor" "$out/look_${look}_main.png"
  main_id="$(xdotool search --onlyvisible --name '^Quorvane Editor$' | head -n1)"
  xdotool windowactivate --sync "$main_id" 2>/dev/null || xdotool windowfocus --sync "$main_id" || true
  xdotool key --window "$main_id" ctrl+shift+p
  shoot "Debug Console" "$out/look_${look}_console.png" || echo "look $look: no console window" >&2
  kill "$editor_pid" 2>/dev/null || true
  wait "$editor_pid" 2>/dev/null || true
  editor_pid=""
done
