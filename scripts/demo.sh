#!/bin/sh
# Builds everything, then runs the station against the simulated camera and a
# simulated lens controller inside a loopback-only network namespace (discovery
# broadcasts never leave this machine), and the console Orchestrel beside it
# with the station's address (127.0.0.1) in its list, opened beside the
# station's window. The programs open on your display when one is
# reachable from the namespace (a local X server's socket in /tmp/.X11-unix);
# otherwise they run on a virtual display and a screenshot is written to
# build/demo-screenshot.png.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ "$1" != "--in-namespace" ]; then
    "$root/scripts/install-deps.sh"
    "$root/scripts/build.sh"
    exec "$root/scripts/in-loopback-netns.sh" "$root/scripts/demo.sh" --in-namespace
fi

# From here on: inside the namespace.
simcam_pid=""
lenssim_pid=""
station_pid=""
console_pid=""
xvfb_pid=""
stop_all() {
    for pid in $console_pid $station_pid $lenssim_pid $simcam_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $console_pid $station_pid $lenssim_pid $simcam_pid $xvfb_pid; do
        wait "$pid" 2>/dev/null || true
    done
}

# The console keeps the demo's settings apart from yours: its own settings
# folder, laid anew from scripts/demo-orchestrel.conf on every run.
console_config="$build/demo-console-config"
rm -rf "$console_config"
mkdir -p "$console_config/Kessane"
cp "$root/scripts/demo-orchestrel.conf" "$console_config/Kessane/Orchestrel.conf"
# The console opens to the right of the station's window, once that is on
# screen (Qt's -geometry places the first main window a program shows; a
# display without a window manager would stack both in its corner).
start_console() {
    place=""
    for _ in $(seq 1 60); do
        place=$(xwininfo -root -tree 2>/dev/null | awk '/Lumivar Tarnel/ {
            split($(NF-1), size, /[x+-]/); split($NF, at, /[+]/)
            print "+" at[2] + size[1] + 10 "+" at[3]; exit }')
        [ -n "$place" ] && break
        sleep 0.25
    done
    [ -n "$place" ] || echo "demo: the station's window did not show; the console opens where it may" >&2
    XDG_CONFIG_HOME="$console_config" "$build/console/Orchestrel" ${place:+-geometry "$place"} &
    console_pid=$!
}
trap stop_all EXIT
trap 'exit 130' INT TERM

"$build/tools/lumivar-simcam" --address 127.0.0.1 &
simcam_pid=$!
sleep 1
if ! kill -0 "$simcam_pid" 2>/dev/null; then
    echo "demo: the simulated camera did not start" >&2
    exit 1
fi

# The console connects every station to its lens controller (the demo's list
# names 127.0.0.1 for both).
"$build/tools/lumivar-lenssim" --address 127.0.0.1 &
lenssim_pid=$!

if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
    echo "demo: Lumivar and Orchestrel on display $DISPLAY, simulated camera on 127.0.0.1;"
    echo "demo: close Lumivar's window to end."
    "$build/station/Lumivar" &
    station_pid=$!
    start_console
    wait "$station_pid" || true
    exit 0
fi

display=:97
if [ -e /tmp/.X97-lock ]; then
    echo "demo: display $display is in use (/tmp/.X97-lock); stop that X server first" >&2
    exit 1
fi
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.5
done
echo "demo: no display reachable; Lumivar and Orchestrel run on the virtual display $display"
DISPLAY=$display
export DISPLAY
"$build/station/Lumivar" &
station_pid=$!
start_console
sleep 6
shot="$build/demo-screenshot.png"
# ImageMagick's import reads what is on screen; xwd -root shows overlapping
# top-level windows as black on a display without a window manager.
import -window root "$shot"
echo "demo: screenshot of the station and the console written to $shot"
