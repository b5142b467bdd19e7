#!/usr/bin/env bash
# fractals in the suite run: batch mode renders and saves the default Mandelbrot set; window
# mode starts the program.
set -euo pipefail
build="${1:?usage: fractals.sh BUILD_DIR OUT_DIR window|batch}"
out="${2:?}"
mode="${3:-batch}"
exe="$build/fractals/fractals"
if [ "$mode" = window ]; then
  "$exe" &
  echo "fractals: started (pid $!)"
else
  "$exe" --render "$out/fractals-mandel.bmp" --size 800x600 --new mandel
  "$exe" --save "$out/fractals-default.mnd" --new mandel
  echo "fractals: wrote $out/fractals-mandel.bmp and $out/fractals-default.mnd"
fi
