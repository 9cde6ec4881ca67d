#!/bin/sh
# Stands in for tessavel-connect. With $TV_RECORD_FILE set it records its path and arguments
# there, NUL-terminated, prints $TV_RECORD_OUT and $TV_RECORD_ERR, and exits with
# $TV_RECORD_EXIT ("crash" kills osascript, its shell's parent); else it runs the real tool.
[ -n "${TV_RECORD_FILE:-}" ] || exec "$TV_REAL_TOOL" "$@"
printf '%s\0' "$0" "$@" >"$TV_RECORD_FILE"
printf '%s' "${TV_RECORD_OUT:-}"; printf '%s' "${TV_RECORD_ERR:-}" >&2
[ "${TV_RECORD_EXIT:-0}" = crash ] && kill -9 "$(cut -d' ' -f4 /proc/$PPID/stat)"
exit "${TV_RECORD_EXIT:-0}"
