#!/bin/sh
# The test command: installs what is missing, builds, and runs every test in a
# loopback-only network namespace.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
cd "$build"
"$root/scripts/in-loopback-netns.sh" ctest --output-on-failure -j"$(nproc)" --timeout 300
