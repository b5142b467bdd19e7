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

# Animation: 40 frames of Sierpinski's Tetrahedron at 640x480 written as Motion JPEG by the whole
# program (goal: under 5 s on 2 cores), and what the writer adds to it (goal: at most 10 %):
# 40 times the processor time of one frame's JPEG encoding and AVI append (ormolith_anim_bench).
exe="$build/ormolith/Ormolith"
anim_bench="$build/ormolith/ormolith_anim_bench"
if [ -x "$exe" ] && [ -x "$anim_bench" ]; then
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  "$exe" --save "$work/tetra.ifs" --sample 2
  # The camera moves 1 unit sideways and back: 2 key frames of 20 frames.
  x="$(sed -n '/<folder name="Camera">/,/<\/folder>/s/.*"X Position" value="\([^"]*\)".*/\1/p' "$work/tetra.ifs")"
  x1="$(awk -v x="$x" 'BEGIN { print x + 1 }')"
  sed -i '/^<\/document>/d' "$work/tetra.ifs"
  printf '%s\n' '<var name="Animated variables" value="1"/>' '<var name="Number of frames" value="2"/>' \
    '<folder name="Animation info">' "	<var name=\"variable0\" value=\"Camera.X Position\"/>" \
    "	<var name=\"frame0\" value=\"$x\"/>" "	<var name=\"frame1\" value=\"$x1\"/>" \
    '	<var name="framesCount0" value="20"/>' '	<var name="framesCount1" value="20"/>' \
    '</folder>' '</document>' >> "$work/tetra.ifs"
  # Wall-clock and processor time of the whole run (bash's own timer), the least of three.
  best="" best_cpu=""
  for run in 1 2 3; do
    times="$( { TIMEFORMAT='%R %U %S'; time "$exe" --animate "$work/tetra.avi" --size 640x480 \
      --codec mjpeg "$work/tetra.ifs" 2>/dev/null; } 2>&1 )"
    read -r wall user sys <<< "$times"
    best="$(awk -v a="$best" -v t="$wall" 'BEGIN { print (a == "" || t < a) ? t : a }')"
    best_cpu="$(awk -v a="$best_cpu" -v u="$user" -v s="$sys" 'BEGIN { t = u + s; print (a == "" || t < a) ? t : a }')"
  done
  frame_ms="$("$anim_bench" --benchmark_filter=BM_WriteFrameMjpeg --benchmark_repetitions=5 \
    --benchmark_format=csv 2>/dev/null | awk -F, '$1 ~ /_(mean|median|stddev|cv)"$/ { next }
    NR > 1 { if (m == "" || $4 < m) m = $4 } END { print m }')"
  awk -v t="$best" -v c="$best_cpu" -v f="$frame_ms" 'BEGIN {
    w = 40 * f / 1000
    printf "animation, 40 frames 640x480 mjpeg: %.2f s whole run, %.2f s of CPU (least of 3)\n", t, c
    printf "  writer: %.1f ms a frame, %.2f s for 40 frames = %.1f %% of the CPU time\n", f, w, 100 * w / c }'
fi
