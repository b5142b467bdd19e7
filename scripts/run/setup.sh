#!/usr/bin/env bash
# setup in `make run`. In batch mode it installs the suite unattended, as a user without root
# would: the release build is installed into a temporary distribution folder (the install tree
# plus setup.inf beside bin/setup), and setup from there copies the suite into
# OUT_DIR/installed (SYSTEMDIR points at its lib folder, whose parent stands in for ~/.local).
# In window mode it does nothing: the other programs' scripts open their windows.
set -euo pipefail
build="${1:?usage: setup.sh BUILD_DIR OUT_DIR window|batch}"
out="${2:?}"
mode="${3:-batch}"
[ "$mode" = batch ] || exit 0
build="$(cd "$build" && pwd)"
if [ ! -x "$build/setup/setup" ]; then
  echo "setup: $build/setup/setup is not built" >&2
  exit 1
fi

dist="$(mktemp -d "${TMPDIR:-/tmp}/setup-dist-XXXXXX")"
trap 'rm -rf "$dist"' EXIT
"$(dirname "$0")/../make-dist" "$build" "$dist"

rm -rf "$out/installed"
mkdir -p "$out/installed/lib"
log="$out/setup-log.txt"
status=0
SYSTEMDIR="$out/installed/lib" "$dist/bin/setup" --unattended > "$log" 2>&1 || status=$?
# Setup does not wait for the cache tools it starts; give them a moment before the folder goes.
sleep 1
echo "setup: exit $status; installed into $out/installed; messages in $log"
find "$out/installed" -type f | sort | sed "s|^$out/installed/||" | head -20
echo "  ... $(find "$out/installed" -type f | wc -l) files"
exit "$status"
