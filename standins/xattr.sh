#!/bin/sh
# Stand-in for /usr/bin/xattr on Linux, for the one use the tool makes of it:
#   xattr -dr com.apple.quarantine PATH...
# Files here never carry the platform's quarantine attribute, so there is nothing to delete;
# like the real program it still fails on a path that is not there.
[ "${1:-}" = -dr ] && [ $# -ge 3 ] || { echo "usage: xattr -dr <name> <path>..." >&2; exit 2; }
shift 2
for path in "$@"; do
  [ -e "$path" ] || [ -L "$path" ] || { echo "xattr: No such file: $path" >&2; exit 1; }
done
exit 0
