#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor against the virtual
# pedal. Extra arguments go to the editor.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build
exec "$root/build/quorvane-editor" --simulator "$@"
