#!/bin/sh
# Runs a test as an unprivileged user when the suite runs as root: what the test starts (the
# tool above all) then runs in self-test mode and can never act on the real machine.
if [ "$(id -u)" -eq 0 ]; then
  exec setpriv --reuid=65534 --regid=65534 --clear-groups -- env HOME=/tmp "$@"
fi
exec "$@"
