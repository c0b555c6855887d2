#!/bin/sh
# Runs one test binary in a throw-away home, settings and working folder.
set -e
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kessane-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/work"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config"
cd "$scratch/work"
"$@"
