#!/bin/sh
# Runs a test in a network namespace of its own with only loopback up, so that nothing the
# test sends can reach the host's network, however it is started. A user other than root
# gets the namespace through a user namespace that keeps its own user id. The time namespace
# puts the boot a day back: the sync job retries after a fresh boot, and a machine that has just
# started must not make its tests wait on that.
if [ "$(id -u)" -eq 0 ]; then
  exec unshare --net --time --boottime 86400 -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec unshare --user --map-current-user --keep-caps --net --time --boottime 86400 -- \
  sh -c 'ip link set lo up && exec "$@"' sh "$@"
