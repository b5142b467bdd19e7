#!/usr/bin/env bash
# fractals: the file-mode render of the default Mandelbrot view at 1920x1080, as a whole
# process (start, render, write the bitmap), then the in-process benchmark of the render.
set -euo pipefail
build="${1:?usage: fractals.sh BUILD_DIR}"
exe="$build/fractals/fractals"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$exe" --render "$tmp/warm.bmp" --size 1920x1080 --new mandel
times=()
for _ in $(seq 1 15); do
  start=$(date +%s%N)
  "$exe" --render "$tmp/m.bmp" --size 1920x1080 --new mandel
  end=$(date +%s%N)
  times+=($(( (end - start) / 1000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
printf 'fractals --render 1920x1080 --new mandel: min %.3f s, median %.3f s (15 runs)\n' \
  "$(echo "${sorted[0]} / 1000000" | bc -l)" "$(echo "${sorted[7]} / 1000000" | bc -l)"
# The IFS file mode: the fern example, 100 million points at 1920x1080 on every core.
fern="$(cd "$(dirname "$0")/../.." && pwd)/fractals/examples/fern.ifs"
ifs_times=()
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$exe" --render "$tmp/fern.bmp" --size 1920x1080 --points 100000000 --seed 1 "$fern"
  end=$(date +%s%N)
  ifs_times+=($(( (end - start) / 1000 )))
done
sorted=($(printf '%s\n' "${ifs_times[@]}" | sort -n))
printf 'fractals --render 1920x1080 --points 100000000 fern.ifs: min %.3f s, median %.3f s (5 runs)\n' \
  "$(echo "${sorted[0]} / 1000000" | bc -l)" "$(echo "${sorted[2]} / 1000000" | bc -l)"
if [ -x "$build/fractals/tests/fractals_render_bench" ]; then
  "$build/fractals/tests/fractals_render_bench"
fi
if [ -x "$build/fractals/tests/fractals_lsystem_bench" ]; then
  "$build/fractals/tests/fractals_lsystem_bench"
fi
