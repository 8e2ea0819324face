#!/usr/bin/env bash
# Redraws docs/gtkwave-heating.png: the heating of mwc-replay's manual page,
# opened in GTKWave with docs/heating.gtkw, on a virtual screen of the
# window's size. Needs a built tree (build/default) and Debian's xvfb,
# gtkwave, x11-apps and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

printf 'ca.b.e' | build/default/mwc-replay --vcd > "$work/heating.vcd"
echo 'gtkwave::/Time/Zoom/Zoom_Best_Fit' > "$work/fit.tcl"
Xvfb :77 -screen 0 1180x540x24 -nolisten tcp &
sleep 2
(cd "$work" && DISPLAY=:77 exec gtkwave -S fit.tcl heating.vcd "$OLDPWD/docs/heating.gtkw") \
  > "$work/gtkwave.log" 2>&1 &
sleep 6 # GTKWave has no "drawn" signal to wait for
DISPLAY=:77 xwd -root -silent | convert xwd:- -strip docs/gtkwave-heating.png
