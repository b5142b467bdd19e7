#!/usr/bin/env bash
# qubex in `make run`: with a display the window opens (it keeps running after this script);
# without one the batch mode writes a random cloud and its code to OUT_DIR.
set -euo pipefail
build="${1:?usage: qubex.sh BUILD_DIR OUT_DIR window|batch}"
out="${2:?}"
mode="${3:-batch}"
exe="$build/qubex/qubex"
if [ ! -x "$exe" ]; then
  echo "qubex: $exe is not built" >&2
  exit 1
fi
if [ "$mode" = window ]; then
  "$exe" >/dev/null 2>&1 &
  echo "qubex: window started (pid $!)"
  exit 0
fi
# qubex refuses to write into a folder that does not exist; the output folder is ours to make.
mkdir -p "$out"
"$exe" --export-ply "$out/qubex.ply" --save-code "$out/qubex.qbx"
echo "qubex: wrote $out/qubex.ply (point cloud, PLY) and $out/qubex.qbx (its code)"
