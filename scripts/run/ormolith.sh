#!/usr/bin/env bash
# Ormolith in `make run`: with a display the window opens (it keeps running after this script)
# and builds Sierpinski's Tetrahedron; without one every built-in sample is saved as a document
# file in OUT_DIR and rendered to a 640x480 bitmap there, and the example animation is written
# as a video.
set -euo pipefail
build="${1:?usage: ormolith.sh BUILD_DIR OUT_DIR window|batch}"
out="${2:?}"
mode="${3:-batch}"
exe="$build/ormolith/Ormolith"
if [ ! -x "$exe" ]; then
  echo "Ormolith: $exe is not built" >&2
  exit 1
fi
if [ "$mode" = window ]; then
  "$exe" >/dev/null 2>&1 &
  echo "Ormolith: window started (pid $!)"
  exit 0
fi
for n in 0 1 2 3 4 5 6 7 8; do
  "$exe" --save "$out/ormolith-sample-$n.ifs" --sample "$n"
  echo "Ormolith: saved sample $n to $out/ormolith-sample-$n.ifs"
done
for n in 0 1 2 3 4 5 6 7 8; do
  "$exe" --render "$out/ormolith-sample-$n.bmp" --sample "$n"
done
"$exe" --animate "$out/ormolith-menger-orbit.avi" --size 320x240 \
  "$(dirname "$0")/../../ormolith/examples/menger-orbit.ifs"
