#!/usr/bin/env bash
# Frames per second of the qubex window redrawing 50000 points at its default size, under
# xvfb with Mesa's software renderer (llvmpipe), so the figure is comparable between machines
# without a GPU. Usage: fps.sh BUILD_DIR [SECONDS]
set -euo pipefail
build="${1:?usage: fps.sh BUILD_DIR [SECONDS]}"
seconds="${2:-5}"
exe="$build/qubex/qubex"
[ -x "$exe" ] || { echo "qubex: $exe is not built" >&2; exit 1; }
# A private settings folder: the measurement must neither read nor overwrite the user's.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
WINDIR="$tmp" LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
  "$exe" --measure-fps "$seconds" 50000
