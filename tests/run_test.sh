#!/bin/sh
# Runs one test binary in a throw-away home, settings and working folder, and
# in a network namespace of its own that holds only loopback: its discovery
# broadcasts never leave it, and tests whose peers serve the same ports (the
# camera's 3956 on 127.0.0.1, the station's 1910) run side by side.
set -e
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kessane-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/work"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config"
cd "$scratch/work"
isolated='ip link set lo up && exec "$@"'
if unshare --net true 2>/dev/null; then
    unshare --net sh -c "$isolated" sh "$@"
else
    unshare --net --map-root-user sh -c "$isolated" sh "$@"
fi
