#!/bin/sh
# ditto SOURCE DESTINATION: copies a bundle whole, keeping modes, links and times.
[ $# -eq 2 ] || { echo "usage: ditto source destination" >&2; exit 1; }
exec cp -a -- "$1" "$2"
