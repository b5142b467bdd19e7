#!/usr/bin/env bash
# Ormolith: build times of the nine samples at 640x480 and of Menger's Sponge and Sierpinski's
# Tetrahedron at 1024x768, with one worker and with one per core, and the speed-up between them.
# Goals on a 2-core machine: the tetrahedron at 640x480 under 0.3 s, the sponge at 1024x768
# under 1 s, a speed-up of at least 1.8 with two workers. Wall-clock times and the speed-up
# only mean something on idle cores; "(its CPU)" is the one-worker build's processor time.
set -euo pipefail
build="${1:?usage: ormolith.sh BUILD_DIR [benchmark options]}"
shift
bench="$build/ormolith/ormolith_bench"
if [ ! -x "$bench" ]; then
  echo "Ormolith: $bench not built (configure with -DSUITE_BENCH=ON)" >&2
  exit 1
fi
echo "Ormolith on $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
"$bench" --benchmark_format=csv --benchmark_min_time=0.3 "$@" 2>/dev/null | awk -F, '
  NR == 1 { next }
  {
    split($1, part, "/"); key = part[2] "/" part[3] "x" part[4]; threads = part[5]
    label = $8; gsub(/"/, "", label); sub(/ [0-9]+x[0-9]+ threads [0-9]+$/, "", label)
    name[key] = label
    if (!(key in seen)) { order[++n] = key; seen[key] = 1 }
    if (threads == 1) { one[key] = $3; cpu[key] = $4 } else { many[key] = $3; cores = threads }
  }
  END {
    printf "%-26s %-10s %12s %12s %12s %9s\n", "sample", "size", "1 thread", "(its CPU)", cores " threads", "speed-up"
    for (i = 1; i <= n; ++i) {
      k = order[i]; split(k, p, "/")
      s = (k in many && many[k] > 0) ? sprintf("%.2fx", one[k] / many[k]) : "-"
      m = (k in many) ? sprintf("%.1f ms", many[k]) : "-"
      printf "%-26s %-10s %9.1f ms %9.1f ms %12s %9s\n", name[k], p[2], one[k], cpu[k], m, s
    }
  }'
