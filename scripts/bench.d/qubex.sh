#!/usr/bin/env bash
# qubex: time of one regeneration of the cloud (goal: under 5 ms for 50000 points), then the
# frame rate of the window drawing 50000 points, when a display (or xvfb-run) is available.
set -euo pipefail
build="${1:?usage: qubex.sh BUILD_DIR}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
bench="$build/qubex/bench/qubex_bench"
if [ -x "$bench" ]; then
  "$bench" --benchmark_min_time=0.5
else
  echo "qubex: $bench not built (configure with -DSUITE_BENCH=ON)" >&2
  exit 1
fi
if [ -x "$root/qubex/bench/fps.sh" ]; then
  bash "$root/qubex/bench/fps.sh" "$build"
fi
