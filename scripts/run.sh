#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor against the virtual
# pedal. Extra arguments go to the editor.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build
editor=("$root/build/quorvane-editor" --simulator "$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the editor on a virtual X display (xvfb-run)."
  exec xvfb-run -a "${editor[@]}"
fi
exec "${editor[@]}"
