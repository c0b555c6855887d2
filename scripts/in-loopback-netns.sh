#!/bin/sh
# Runs a command in a private network namespace that holds only loopback, so
# that GigE Vision discovery broadcasts never leave this machine.
set -e
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec unshare --net --map-root-user sh -c 'ip link set lo up && exec "$@"' sh "$@"
