#!/bin/sh
# Stands in for tessavel-connect in quoting tests: records its arguments, NUL-terminated, in
# $TV_RECORD_FILE, prints $TV_RECORD_OUT, and exits with $TV_RECORD_EXIT.
: "${TV_RECORD_FILE:?}"
: >"$TV_RECORD_FILE"
for a in "$@"; do printf '%s\0' "$a" >>"$TV_RECORD_FILE"; done
[ -n "${TV_RECORD_OUT:-}" ] && printf '%s\n' "$TV_RECORD_OUT"
[ -n "${TV_RECORD_ERR:-}" ] && printf '%s\n' "$TV_RECORD_ERR" >&2
exit "${TV_RECORD_EXIT:-0}"
