#!/bin/sh
# open BUNDLE: starts the bundle's program, detached, the way the Finder would.
[ $# -eq 1 ] && [ -d "$1/Contents/MacOS" ] || { echo "usage: open path/to/Name.app" >&2; exit 1; }
setsid "$1/Contents/MacOS/$(basename "$1" .app)" </dev/null >/dev/null 2>&1 &
