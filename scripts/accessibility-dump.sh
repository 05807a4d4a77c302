#!/usr/bin/env bash
# Prints what a screen reader sees of both windows: the role and name of
# every object, through AT-SPI, first of the disclaimer, then (after Enter)
# of the main window. Runs the program under its own Xvfb, window manager
# and session bus, so it needs no desktop.
# Usage: scripts/accessibility-dump.sh [PROGRAM]   (default: build/release/app/tagshift)
# Needs: xvfb, openbox, dbus, at-spi2-core, python3-pyatspi, xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/release/app/tagshift}")
[ -x "$program" ] || { echo "no program at $program (build it with scripts/run.sh or give its path)" >&2; exit 1; }
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program in a folder without a skip marker, a fresh home.
cp "$program" "$work/tagshift"
mkdir -p "$work/home"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)

cat >"$work/dump.py" <<'PY'
import sys, time
import pyatspi

def find_app(name):
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.1)
    sys.exit("no accessible application named " + name)

def dump(node, depth=0):
    try:
        role, name = node.getRoleName(), node.name
        actions = []
        try:
            action = node.queryAction()
            actions = [action.getName(i) for i in range(action.nActions)]
        except NotImplementedError:
            pass
        value = ""
        try:
            v = node.queryValue()
            value = " value=%g of %g..%g" % (v.currentValue, v.minimumValue, v.maximumValue)
        except NotImplementedError:
            pass
        extra = (" actions=" + ",".join(actions)) if actions else ""
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            extra += " [not showing]"
        print("%s%s: %r%s%s" % ("  " * depth, role, name, extra, value))
    except Exception as error:
        print("%s<%s>" % ("  " * depth, error))
        return
    for child in node:
        if child is not None:
            dump(child, depth + 1)

app = find_app("tagshift")
for window in app:
    if window is not None and window.getState().contains(pyatspi.STATE_SHOWING):
        dump(window)
PY

cat >"$work/session.sh" <<SH
set -e
export DISPLAY=$display HOME=$work/home QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
launcher=\$!
sleep 1
"$work/tagshift" >"$work/program.log" 2>&1 &
program=\$!
sleep 3
echo "== The disclaimer"
/usr/bin/python3 "$work/dump.py"
xdotool key Return
sleep 2
echo "== The main window"
/usr/bin/python3 "$work/dump.py"
kill \$program \$launcher 2>/dev/null || true
SH
dbus-run-session -- bash "$work/session.sh"
