#!/usr/bin/env bash
# Draws the folder graph of docs/ARCHITECTURE.md from the build's own targets:
# CMake writes the target graph (cmake --graphviz), the folder libraries are
# kept, edges implied by others are dropped (tred), and Graphviz renders it.
#
#   bash scripts/architecture.sh [BUILD_DIR] [OUTPUT.svg]
#
# Defaults: build/ and docs/architecture.svg. Installs graphviz when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/architecture.svg}"
if ! command -v dot >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends graphviz
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake -S "$root" -B "$build" --graphviz="$work/targets.dot" >/dev/null
python3 - "$work/targets.dot" "$work/folders.dot" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
names = dict(re.findall(r'"(node\d+)" \[ label = "([^"]+)"', text))
skip = {"quorvane_core", "quorvane_resources", "quorvane_test_support"}
keep = {n: l[len("quorvane_"):] for n, l in names.items() if l.startswith("quorvane_") and l not in skip}
edges = sorted({(keep[a], keep[b]) for a, b in re.findall(r'"(node\d+)" -> "(node\d+)"', text)
                if a in keep and b in keep})
with open(sys.argv[2], "w") as f:
    f.write('digraph folders {\n  rankdir=TB;\n  node [shape=box, style="rounded,filled", fillcolor="#EEF2F7", fontname="Helvetica"];\n')
    for name in sorted(set(keep.values())):
        f.write(f'  "{name}";\n')
    for a, b in edges:
        f.write(f'  "{a}" -> "{b}";\n')
    f.write("}\n")
PY
tred "$work/folders.dot" | dot -Tsvg -o "$out"
echo "$out"
