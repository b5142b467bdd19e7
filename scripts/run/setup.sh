#!/usr/bin/env bash
# setup in `make run`. In batch mode it installs the suite unattended: a temporary distribution
# folder gets the setup program, the built programs, their help pages and the shipped setup.inf
# (its program start changed to a harmless `Ormolith --version`), and SYSTEMDIR points the
# installation at OUT_DIR/installed. In window mode it does nothing: the other programs' scripts
# open their windows, and setup would only install and start them again.
set -euo pipefail
build="${1:?usage: setup.sh BUILD_DIR OUT_DIR window|batch}"
out="${2:?}"
mode="${3:-batch}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
exe="$build/setup/setup"
[ "$mode" = batch ] || exit 0
if [ ! -x "$exe" ]; then
  echo "setup: $exe is not built" >&2
  exit 1
fi

dist="$(mktemp -d "${TMPDIR:-/tmp}/setup-dist-XXXXXX")"
trap 'rm -rf "$dist"' EXIT
mkdir -p "$dist/help/qubex" "$out/installed"
cp "$exe" "$dist/setup"
for program in qubex/qubex ormolith/Ormolith fractals/fractals; do
  # A program that is not built yet is left out; setup reports it and goes on.
  if [ -x "$build/$program" ]; then cp "$build/$program" "$dist/"; fi
done
# Only qubex has help pages so far.
cp "$root"/qubex/help/*.html "$dist/help/qubex/"
sed 's|^Execute1=.*|Execute1="%SystemDir%\\FractalSuite\\bin\\Ormolith" --version|' \
  "$root/setup/setup.inf" > "$dist/setup.inf"

log="$out/setup-log.txt"
status=0
WINDIR="$out/installed" SYSTEMDIR="$out/installed" "$dist/setup" --unattended > "$log" 2>&1 || status=$?
# Setup does not wait for the program it starts; give `Ormolith --version` a moment to print.
sleep 1
echo "setup: exit $status; installed into $out/installed/FractalSuite; messages in $log"
ls -lR "$out/installed/FractalSuite" 2>/dev/null || true
exit "$status"
