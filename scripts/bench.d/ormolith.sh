#!/usr/bin/env bash
# Ormolith: build times of the nine samples at 640x480 and of Menger's Sponge and Sierpinski's
# Tetrahedron at 1024x768, with one worker and with one per core, and the speed-up between them.
# Goals on a 2-core machine: the tetrahedron at 640x480 under 0.3 s, the sponge at 1024x768
# under 1 s, a speed-up of at least 1.8 with two workers. Wall-clock times and the speed-up
# only mean something on idle cores; "(its CPU)" is the one-worker build's processor time.
# Each figure is the least of five interleaved repetitions.
set -euo pipefail
build="${1:?usage: ormolith.sh BUILD_DIR [benchmark options]}"
shift
bench="$build/ormolith/ormolith_bench"
if [ ! -x "$bench" ]; then
  echo "Ormolith: $bench not built (configure with -DSUITE_BENCH=ON)" >&2
  exit 1
fi
echo "Ormolith on $(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
# Five interleaved repetitions; the least time of each is kept, since other work on the machine
# only ever adds time.
"$bench" --benchmark_format=csv --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  "$@" 2>/dev/null | awk -F, '
  NR == 1 || $1 ~ /_(mean|median|stddev|cv)"$/ { next }
  {
    split($1, part, "/"); key = part[2] "/" part[3] "x" part[4]; threads = part[5]
    label = $8; gsub(/"/, "", label); sub(/ [0-9]+x[0-9]+ threads [0-9]+$/, "", label)
    name[key] = label
    if (!(key in seen)) { order[++n] = key; seen[key] = 1 }
    if (threads == 1) {
      if (!(key in one) || $3 < one[key]) one[key] = $3
      if (!(key in cpu) || $4 < cpu[key]) cpu[key] = $4
    } else {
      if (!(key in many) || $3 < many[key]) many[key] = $3
      cores = threads
    }
  }
  END {
    printf "%-26s %-10s %12s %12s %12s %9s\n", "sample", "size", "1 thread", "(its CPU)", cores " threads", "speed-up"
    for (i = 1; i <= n; ++i) {
      k = order[i]; split(k, p, "/"); split(p[2], wh, "x")
      s = (k in many && many[k] > 0) ? sprintf("%.2fx", one[k] / many[k]) : "-"
      m = (k in many) ? sprintf("%.1f ms", many[k]) : "-"
      # The repetitions were interleaved; sort(1) puts the rows back by size, then sample.
      printf "%06d%02d\t%-26s %-10s %9.1f ms %9.1f ms %12s %9s\n", wh[1] * wh[2] / 1000, p[1], \
        name[k], p[2], one[k], cpu[k], m, s | "sort -n | cut -f2-"
    }
  }'
