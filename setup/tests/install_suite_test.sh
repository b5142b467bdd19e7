#!/usr/bin/env bash
# The suite's own setup.inf, end to end: the build is installed into a temporary distribution
# folder (the install tree plus setup.inf beside setup), and `setup --unattended` from there
# installs the suite into a fresh home without a message. Checked:
#   - setup.inf lists exactly the files of the install tree but setup's own, and each lands in
#     ~/.local at the same place, byte for byte, programs still executable;
#   - the installed fractals renders a Mandelbrot picture in batch mode;
#   - the Execute lines refresh the desktop's caches in ~/.local/share, and where the tools are
#     missing setup says nothing and still ends with 0.
#   install_suite_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir="$(cd "${1:?usage: install_suite_test.sh SOURCE_DIR BUILD_DIR}" && pwd)"
build="$(cd "${2:?}" && pwd)"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

tmp="$(mktemp -d "${TMPDIR:-/tmp}/suite-setup-XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
dist="$tmp/dist"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
unset DISPLAY WAYLAND_DISPLAY WINDIR SYSTEMDIR XDG_DATA_DIRS

# --- The distribution folder.
"$source_dir/scripts/make-dist" "$build" "$dist" "$tmp/manifest" || {
  echo "FAIL: make-dist failed" >&2
  exit 1
}
# What the install put there, relative to the folder; setup does not install itself.
installed_files="$(grep -v -e '^bin/setup$' -e '^share/man/man1/setup\.1$' -e '/apps/setup\.\(svg\|png\)$' "$tmp/manifest")"
[ -n "$installed_files" ] || { echo "FAIL: the install put nothing in $dist" >&2; exit 1; }

# --- setup.inf names every one of them, each from and to the same place.
listed="$(sed -n 's/\r$//; s/^Install[0-9]*=//p' "$source_dir/setup/setup.inf")"
listed_files=""
while IFS= read -r value; do
  src="${value%%;*}" dest="${value#*;}"
  from="${src%%,*}/${src#*,}" to="${dest%%,*}/${dest#*,}"
  from="${from//\\//}" to="${to//\\//}"
  rel="${from#%SourceDir%/../}"
  [ "$rel" != "$from" ] || { fail "Install line does not read from %SourceDir%\\..: $value"; continue; }
  [ "$to" = "%SystemDir%/../$rel" ] || fail "Install line does not keep the place: $value"
  listed_files+="$rel"$'\n'
done <<< "$listed"
listed_files="$(printf '%s' "$listed_files" | sort)"
missing="$(comm -23 <(printf '%s\n' "$installed_files") <(printf '%s\n' "$listed_files"))"
extra="$(comm -13 <(printf '%s\n' "$installed_files") <(printf '%s\n' "$listed_files"))"
[ -z "$missing" ] || fail "setup.inf does not install these files of the install tree:
$(printf '%s\n' "$missing" | sed 's/^/  /')"
[ -z "$extra" ] || fail "setup.inf lists files the install tree does not have:
$(printf '%s\n' "$extra" | sed 's/^/  /')"

# --- A run in a fresh home, as a user without root runs it.
run_setup() { # HOME PATH -> exit code; stdout/stderr in $tmp/out, $tmp/err
  mkdir -p "$1"
  (
    export HOME="$1" XDG_DATA_HOME="$1/.local/share" XDG_CONFIG_HOME="$1/.config"
    export XDG_CACHE_HOME="$1/.cache" PATH="$2"
    "$dist/bin/setup" --unattended > "$tmp/out" 2> "$tmp/err"
  )
}
home="$tmp/home"
run_setup "$home" "$PATH"
code=$?
[ "$code" = 0 ] || fail "setup --unattended exits $code"
[ ! -s "$tmp/err" ] || fail "setup --unattended printed: $(cat "$tmp/err")"
local_dir="$home/.local"
while IFS= read -r rel; do
  if ! cmp -s "$dist/$rel" "$local_dir/$rel"; then
    fail "~/.local/$rel is not the distribution's file"
  elif [ -x "$dist/$rel" ] && [ ! -x "$local_dir/$rel" ]; then
    fail "~/.local/$rel lost its execute permission"
  fi
done <<< "$installed_files"
[ ! -e "$local_dir/bin/setup" ] || fail "setup installed itself"
[ ! -e "$local_dir/bin/setup.inf" ] || fail "setup installed its description file"

# The installed fractals renders from there: an 8-bit bitmap, 1078 bytes of headers and
# colour table, then 64 x 48 pixels.
picture="$tmp/mandel.bmp"
if HOME="$home" "$local_dir/bin/fractals" --render "$picture" --size 64x48 --new mandel \
     > "$tmp/render.log" 2>&1; then
  size="$(stat -c %s "$picture")"
  [ "$size" = $((1078 + 64 * 48)) ] || fail "the Mandelbrot bitmap has $size bytes"
  geometry="$(identify -format '%wx%h' "$picture" 2>&1)"
  [ "$geometry" = 64x48 ] || fail "identify reads the Mandelbrot bitmap as '$geometry'"
else
  fail "the installed fractals cannot render: $(cat "$tmp/render.log")"
fi
for program in qubex Ormolith fractals; do
  HOME="$home" "$local_dir/bin/$program" --version > /dev/null 2>&1 ||
    fail "the installed $program --version fails"
done

# The Execute lines run the desktop's tools on ~/.local/share; setup does not wait for them.
share="$local_dir/share"
wait_for() { # FILE
  for _ in $(seq 100); do
    [ -s "$1" ] && return 0
    sleep 0.2
  done
  return 1
}
if command -v update-mime-database > /dev/null; then
  wait_for "$share/mime/mime.cache" || fail "update-mime-database did not run on $share/mime"
fi
if command -v update-desktop-database > /dev/null; then
  wait_for "$share/applications/mimeinfo.cache" ||
    fail "update-desktop-database did not run on $share/applications"
  grep -q "application/x-fractals-mandel=fractals.desktop" "$share/applications/mimeinfo.cache" ||
    fail "mimeinfo.cache does not send Mandelbrot documents to fractals"
fi

# --- Without the tools: nothing to start, nothing to say.
bare="$tmp/bare-bin"
mkdir -p "$bare"
ln -s "$(command -v sh)" "$bare/sh"
run_setup "$tmp/home2" "$bare"
code=$?
[ "$code" = 0 ] || fail "setup --unattended without the desktop tools exits $code"
[ ! -s "$tmp/err" ] || fail "setup without the desktop tools printed: $(cat "$tmp/err")"
[ -x "$tmp/home2/.local/bin/fractals" ] || fail "setup without the desktop tools installed nothing"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "setup installed $(printf '%s\n' "$installed_files" | wc -l) files into a fresh home"
