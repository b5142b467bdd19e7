#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it as a desktop would see it: the
# programs run from there, every desktop entry validates and claims only its own program's
# types, the MIME package tells every document kind apart (the two .ifs kinds by their
# contents), the icons, help pages, examples and samples are in place, and the uninstall
# removes exactly what the install added: the prefix ends empty, a second install into a
# prefix that already held folders and another package's files leaves those as they were, and
# a staged (DESTDIR) install is removed from its staging folder.
#   install_tree_test.sh SOURCE_DIR BUILD_DIR PROGRAM...   (PROGRAM: qubex ormolith fractals setup)
set -uo pipefail
source_dir="$(cd "${1:?usage: install_tree_test.sh SOURCE_DIR BUILD_DIR PROGRAM...}" && pwd)"
build="$(cd "${2:?}" && pwd)"
shift 2
programs=" $* "
has() { [[ "$programs" == *" $1 "* ]]; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check_eq() { # what expected actual
  if [ "$2" != "$3" ]; then fail "$1: expected '$2', got '$3'"; fi
}

tmp="$(mktemp -d "${TMPDIR:-/tmp}/suite-install-XXXXXX")"
prefix="$tmp/prefix"
mkdir -p "$prefix" "$tmp/home" "$tmp/files"
# The test's installs must not replace the record of a developer's own install of this tree.
records="install_manifest.txt install_record.cmake"
for f in $records; do
  if [ -e "$build/$f" ]; then cp -p "$build/$f" "$tmp/saved-$f"; fi
done
restore() {
  [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2> /dev/null
  for f in $records; do
    rm -f "$build/$f"
    if [ -e "$tmp/saved-$f" ]; then cp -p "$tmp/saved-$f" "$build/$f"; fi
  done
  rm -rf "$tmp"
}
trap restore EXIT
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" WINDIR="$tmp/home/win"
export SYSTEMDIR="$tmp/home/sys" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
# The bare desktop: xdg-mime asks the shared MIME database itself (File::MimeInfo) instead
# of a desktop environment's tools, and only the prefix and the system's types are known.
unset DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION
unset GNOME_DESKTOP_SESSION_ID XDG_DATA_HOME
export XDG_DATA_DIRS="$prefix/share:/usr/share"
mkdir -p "$WINDIR" "$SYSTEMDIR" "$XDG_CONFIG_HOME"

install_into() {
  if ! cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1; then
    cat "$tmp/install.log" >&2
    fail "cmake --install failed"
    exit 1
  fi
}
uninstall() { # [EXPECTED_PREFIX]
  cmake -DBUILD_DIR="$build" -DEXPECTED_PREFIX="${1:-$prefix}" \
    -P "$source_dir/desktop/uninstall.cmake" > "$tmp/uninstall.log" 2>&1
}

install_into
share="$prefix/share"
declare -A exe=([qubex]=qubex [ormolith]=Ormolith [fractals]=fractals [setup]=setup)

# --- The programs run from the prefix.
for p in qubex ormolith fractals setup; do
  has "$p" || continue
  bin="$prefix/bin/${exe[$p]}"
  if [ ! -x "$bin" ]; then
    fail "$bin is not installed"
    continue
  fi
  version="$("$bin" --version 2>&1)" || fail "${exe[$p]} --version exits $?"
  [[ "$version" == *[0-9].[0-9]*.[0-9]* ]] || fail "${exe[$p]} --version printed '$version'"
done

# --- Help pages where the programs look for them, examples and samples beside them.
declare -A help_page=([qubex]=contents.html [ormolith]=index.html [fractals]=index.html)
for p in qubex ormolith fractals; do
  has "$p" || continue
  page="$share/$p/help/${help_page[$p]}"
  if [ ! -s "$page" ]; then
    fail "no help page $page"
  elif ! xmllint --html --noout "$page" 2>/dev/null; then
    fail "$page is not well-formed HTML"
  fi
done
# Every page and picture a help page links to is installed beside it.
for page in "$share"/*/help/*.html; do
  [ -f "$page" ] || continue
  for link in $(grep -o -i -E '(href|src)="[^"#:]+' "$page" | sed 's/^[^"]*"//' | sort -u); do
    [ -e "$(dirname "$page")/$link" ] || fail "$page links to $link, which is not installed"
  done
done
if has ormolith; then
  check_eq "Ormolith samples" 9 "$(ls "$share/ormolith/samples"/sample-*.ifs 2>/dev/null | wc -l)"
  [ -s "$share/ormolith/examples/menger-orbit.ifs" ] || fail "no Ormolith example animation"
fi
if has fractals; then
  check_eq "fractals examples" 9 "$(ls "$share/fractals/examples"/*.{ifs,lsf} 2>/dev/null | wc -l)"
fi

# --- The MIME package and the desktop entries.
mimexml="$share/mime/packages/fractal-suite.xml"
xmllint --noout "$mimexml" || fail "xmllint rejects $mimexml"
defined="$(grep -o 'mime-type type="[^"]*"' "$mimexml" 2>/dev/null | cut -d'"' -f2 | sort)"
# Which types each program opens: its entry claims these and no other.
declare -A own=(
  [qubex]="application/x-qubex-code"
  [ormolith]="application/x-ormolith-ifs"
  [fractals]="application/x-fractals-henon application/x-fractals-ifs application/x-fractals-julia application/x-fractals-juliacos application/x-fractals-lsystem application/x-fractals-mandel application/x-fractals-palette")
for p in qubex ormolith fractals; do
  has "$p" || continue
  desktop="$share/applications/$p.desktop"
  if [ ! -f "$desktop" ]; then
    fail "no desktop entry $desktop"
    continue
  fi
  out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate $desktop: $out"
  check_eq "$desktop Exec" "${exe[$p]}" "$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
  icon="$(sed -n 's/^Icon=//p' "$desktop")"
  [ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
  for size in 48 256; do
    png="$share/icons/hicolor/${size}x${size}/apps/$icon.png"
    check_eq "$png size" "${size}x${size}" "$(identify -format '%wx%h' "$png" 2>&1)"
  done
  claimed="$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | grep . | sort | xargs)"
  check_eq "$desktop MimeType" "${own[$p]}" "$claimed"
  for type in $claimed; do
    grep -qx "$type" <<< "$defined" || fail "$desktop claims $type, which the package does not define"
  done
done
# Every document type has its icon, in every size.
for type in $defined; do
  icon="${type/\//-}"
  [ -f "$share/icons/hicolor/scalable/mimetypes/$icon.svg" ] || fail "no icon for $type"
  for size in 48 256; do
    png="$share/icons/hicolor/${size}x${size}/mimetypes/$icon.png"
    check_eq "$png size" "${size}x${size}" "$(identify -format '%wx%h' "$png" 2>&1)"
  done
done
# The install refreshed the desktop's caches in the prefix.
[ -f "$share/mime/mime.cache" ] || fail "the install did not run update-mime-database"
[ -f "$share/applications/mimeinfo.cache" ] || fail "the install did not run update-desktop-database"
for p in qubex ormolith fractals; do
  has "$p" || continue
  for type in ${own[$p]}; do
    grep -q "^$type=$p.desktop;" "$share/applications/mimeinfo.cache" 2> /dev/null ||
      fail "mimeinfo.cache does not send $type to $p"
  done
done
# And update-mime-database accepts the package as installed (it warns on unknown elements).
out="$(update-mime-database "$share/mime" 2>&1)" || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database warns: $out"

# --- One file of each kind, written by the installed programs, gets its type: from
# xdg-mime on a bare desktop, and from GLib's gio (what GNOME's file managers ask).
gio_type() {
  gio info -a standard::content-type "$1" 2>&1 | sed -n 's/^ *standard::content-type: //p'
}
expect_type() { # file type
  check_eq "xdg-mime type of $(basename "$1")" "$2" "$(xdg-mime query filetype "$1" 2>&1)"
  check_eq "gio type of $(basename "$1")" "$2" "$(gio_type "$1")"
}
f="$tmp/files"
if has qubex; then
  "$prefix/bin/qubex" --save-code "$f/code.qbx" --seed 7 > /dev/null 2>&1 || fail "qubex --save-code"
  expect_type "$f/code.qbx" application/x-qubex-code
fi
if has ormolith; then
  "$prefix/bin/Ormolith" --save "$f/scene.ifs" --sample 2 > /dev/null 2>&1 || fail "Ormolith --save"
  expect_type "$f/scene.ifs" application/x-ormolith-ifs
  for sample in "$share/ormolith/samples"/*.ifs "$share/ormolith/examples"/*.ifs; do
    expect_type "$sample" application/x-ormolith-ifs
  done
fi
if has fractals; then
  for kind in mandel:mnd julia:jls juliacos:cjs henon:hmf lsystem:lsf; do
    name="${kind%%:*}" ext="${kind##*:}"
    "$prefix/bin/fractals" --save "$f/$name.$ext" --new "$name" > /dev/null 2>&1 ||
      fail "fractals --save $name.$ext"
    expect_type "$f/$name.$ext" "application/x-fractals-$name"
  done
  for example in "$share/fractals/examples"/*.ifs; do
    expect_type "$example" application/x-fractals-ifs
  done
  for example in "$share/fractals/examples"/*.lsf; do
    expect_type "$example" application/x-fractals-lsystem
  done
  cp "$source_dir/fractals/tests/fuzz/fuzz_fractals_palette/ramp.pal" "$f/ramp.pal"
  expect_type "$f/ramp.pal" application/x-fractals-palette
  # A new IFS document has no frames yet: only the file header tells it from Ormolith's
  # kind, which GLib's full lookup (name first, contents for the tie) does.
  "$prefix/bin/fractals" --save "$f/empty.ifs" --new ifs > /dev/null 2>&1 || fail "fractals --save empty.ifs"
  check_eq "gio type of a frameless IFS" application/x-fractals-ifs "$(gio_type "$f/empty.ifs")"
fi
# The name does not decide between the .ifs kinds, whichever kind the name came from.
if has ormolith && has fractals; then
  cp "$share/fractals/examples/fern.ifs" "$f/looks-like-ormolith.ifs"
  expect_type "$f/looks-like-ormolith.ifs" application/x-fractals-ifs
fi

# --- F1 in each windowed program asks the desktop to open its help page: the installed page
# when run from the prefix, the build tree's page when run from there.
# One X server of our own, kept up between the programs (-noreset): Xvfb picks a free display
# and names it (-displayfd), where `xvfb-run -a` beside other tests may pick the same number as
# another run at the same moment.
xvfb_pid=""
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 +extension GLX -nolisten tcp -noreset 3> "$tmp/display" \
    > "$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
  done
  [ -s "$tmp/display" ] || { cat "$tmp/xvfb.log" >&2; fail "Xvfb did not start"; return 1; }
}
help_from() { # what expected_page program [arg...]
  local what="$1" expected="$2"
  shift 2
  local got page
  window_class=""
  got="$(DISPLAY=":$(head -1 "$tmp/display")" LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb \
    "$source_dir/desktop/tests/press_f1.sh" "$tmp/f1" "$@")" || fail "$what: F1 opened no page"
  page="$(head -1 <<< "$got")"
  page="${page#file://}"
  check_eq "$what: help page" "$(realpath -m "$expected")" "$(realpath -m "$page")"
  window_class="$(sed -n 2p <<< "$got")"
}
# The window is the one its desktop entry announces.
check_window_class() { # program
  check_eq "${exe[$1]} window class" \
    "$(sed -n 's/^StartupWMClass=//p' "$share/applications/$1.desktop")" "$window_class"
}
start_xvfb
if has qubex; then
  help_from "installed qubex" "$share/qubex/help/contents.html" "$prefix/bin/qubex"
  check_window_class qubex
  help_from "qubex in the build tree" "$build/qubex/help/contents.html" "$build/qubex/qubex"
fi
if has ormolith; then
  help_from "installed Ormolith" "$share/ormolith/help/index.html" "$prefix/bin/Ormolith"
  check_window_class ormolith
  help_from "Ormolith in the build tree" "$build/ormolith/help/index.html" "$build/ormolith/Ormolith"
fi
if has fractals; then
  help_from "installed fractals" "$share/fractals/help/index.html" \
    "$prefix/bin/fractals" --no-splash "$share/fractals/examples/fern.ifs"
  check_window_class fractals
  help_from "fractals in the build tree" "$build/fractals/help/index.html" \
    "$build/fractals/fractals" --no-splash "$share/fractals/examples/fern.ifs"
fi
kill "$xvfb_pid" 2> /dev/null
wait "$xvfb_pid" 2> /dev/null

# --- The uninstall removes every installed file, the caches and the folders it made.
if ! uninstall; then
  cat "$tmp/uninstall.log" >&2
  fail "uninstall failed"
fi
left="$(cd "$prefix" && find . -mindepth 1 | head -20)"
[ -z "$left" ] || fail "uninstall left in the prefix: $left"
[ -d "$prefix" ] || fail "uninstall removed the prefix itself"

# --- A prefix that is not empty: an empty bin folder and another package's file types were
# there before. The install adds to them, the uninstall gives them back as they were.
mkdir -p "$prefix/bin" "$share/mime/packages"
cat > "$share/mime/packages/other.xml" << 'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other-test">
    <comment>another package's type</comment>
    <glob pattern="*.othertest"/>
  </mime-type>
</mime-info>
EOF
update-mime-database "$share/mime"
install_into
grep -q "x-fractals-mandel\|x-qubex-code" "$share/mime/globs2" || fail "the second install did not refresh the MIME database"
if uninstall "$tmp/elsewhere"; then
  fail "uninstall of another prefix than the installed one went ahead"
fi
[ -f "$share/mime/packages/fractal-suite.xml" ] || fail "a refused uninstall removed files"
if ! uninstall; then
  cat "$tmp/uninstall.log" >&2
  fail "second uninstall failed"
fi
[ -d "$prefix/bin" ] || fail "uninstall removed the bin folder that was there before"
[ -f "$share/mime/packages/other.xml" ] || fail "uninstall removed another package's types"
grep -q "application/x-other-test" "$share/mime/globs2" 2>/dev/null ||
  fail "the MIME database lost the other package's types"
if grep -q "x-fractals\|x-qubex\|x-ormolith" "$share/mime/globs2" 2>/dev/null; then
  fail "the MIME database still knows the suite's types after the uninstall"
fi
left="$(cd "$prefix" && find . -mindepth 1 -not -path './bin' -not -path './share' \
  -not -path './share/mime' -not -path './share/mime/*' | head -20)"
[ -z "$left" ] || fail "second uninstall left in the prefix: $left"

# --- A staged install (DESTDIR, as a distribution package is made) puts the files under the
# staging folder, leaves the desktop caches to the package manager, and its uninstall, staged
# the same way, empties the staged prefix again.
stage="$tmp/stage"
mkdir -p "$stage/usr"
if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr > "$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  fail "staged install failed"
fi
[ -f "$stage/usr/share/mime/packages/fractal-suite.xml" ] || fail "the staged install put no MIME package under $stage"
[ ! -e "$stage/usr/share/mime/mime.cache" ] || fail "the staged install built a MIME cache"
if ! DESTDIR="$stage" cmake -DBUILD_DIR="$build" -DEXPECTED_PREFIX=/usr \
  -P "$source_dir/desktop/uninstall.cmake" > "$tmp/uninstall.log" 2>&1; then
  cat "$tmp/uninstall.log" >&2
  fail "staged uninstall failed"
fi
left="$(cd "$stage/usr" && find . -mindepth 1 | head -20)"
[ -z "$left" ] || fail "staged uninstall left: $left"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed tree checked:$programs"
