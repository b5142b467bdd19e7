#!/usr/bin/env bash
# Starts a windowed program on the current X display, presses F1 in its main window and prints
# the page its Help command asked the desktop to open, then the window's class name (the
# instance part of WM_CLASS, what a desktop entry's StartupWMClass must name for a dock to
# match the window to its launcher). The desktop's opener is a stand-in xdg-open that only
# records its argument, so no browser starts.
#   press_f1.sh WORK_DIR PROGRAM [ARG...]
set -uo pipefail
work="${1:?usage: press_f1.sh WORK_DIR PROGRAM [ARG...]}"
shift
opened="$work/opened"
mkdir -p "$work/bin"
rm -f "$opened"
cat > "$work/bin/xdg-open" << EOF
#!/bin/sh
printf '%s\n' "\$1" >> "$opened"
EOF
chmod +x "$work/bin/xdg-open"

PATH="$work/bin:$PATH" "$@" > "$work/program.log" 2>&1 &
pid=$!
stop() {
  kill "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
}
trap stop EXIT

# The program may show a passing window before its main one (qubex does), and without a
# window manager a window gets the keyboard only when given it: every try looks for the
# program's newest visible window again, focuses it and presses F1.
for _ in $(seq 1 60); do
  kill -0 "$pid" 2> /dev/null || break
  window="$(xdotool search --onlyvisible --pid "$pid" 2> /dev/null | tail -1)"
  if [ -n "$window" ]; then
    xdotool windowfocus "$window" 2> /dev/null
    xdotool key F1
  fi
  for _ in 1 2 3 4; do
    if [ -s "$opened" ]; then
      head -1 "$opened"
      xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS([A-Z_]*) = "\([^"]*\)".*/\1/p'
      exit 0
    fi
    sleep 0.25
  done
done
echo "F1 in $1 opened nothing" >&2
cat "$work/program.log" >&2
exit 1
