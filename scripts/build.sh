#!/bin/sh
# Configures and builds the project into build/ (or $BUILD_DIR), passing any
# arguments on to CMake (for example -DKESSANE_ASAN=ON).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
