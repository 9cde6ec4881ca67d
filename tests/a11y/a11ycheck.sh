#!/usr/bin/env bash
# Has tests/a11y/a11ycheck.py read the application from outside, as nobody in self-test mode on
# a virtual display with the accessibility bus, a tray host and two ready lab servers: the main
# window and a setup by keyboard alone, then, the last sync an hour ahead of the clock, the clock
# alert and the menu-bar item's menu. The client fails on a control without a name, a switch
# without its state, a clock that reads otherwise than it shows, a disabled button that does not
# say why, or a setup the keyboard alone cannot finish. As root: a11ycheck.sh [BUILD_DIR]
# Exits 0 when the client found nothing to mend, 1 when it did, 2 when the check could not run.
# What it starts is stopped by process id, in a process namespace of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

if [ "${1:-}" != --in-lab ]; then
  [ "$(id -u)" -eq 0 ] || { echo "a11ycheck: run as root" >&2; exit 2; }
  exec "$top/tests/lab/lab.sh" run -- unshare --pid --fork --kill-child --mount-proc -- \
    "$0" --in-lab "$@"
fi
shift
build=$(cd "${1:-$top/build}" && pwd)
app="$build/Tessavel Veridir.app/Contents/MacOS/Tessavel Veridir"
tool="$build/Tessavel Veridir.app/Contents/Helpers/tessavel-connect"
user=nobody
root=$(mktemp -d /tmp/tv-a11y.XXXXXX)
chmod 755 "$root" && chown "$user:" "$root"
pids=()
rc=2
cleanup() {
  trap - EXIT
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  as_user "$tool" remove >/dev/null 2>&1 || true
  [ ! -s "$root/gui.log" ] || [ "$rc" -ne 2 ] || { echo "the application said:"; tail -20 "$root/gui.log"; }
  rm -rf "$root"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

userenv=(setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- env
  HOME="$root/home" XDG_RUNTIME_DIR="$root/run" TESSAVEL_CONNECT_TEST_ROOT="$root"
  TESSAVEL_LAUNCHD_DIR="$root/launchd" TZ=UTC LC_ALL=C.UTF-8)
as_user() { "${userenv[@]}" "$@"; }
# In the background as the user; a simple command, so that its id is the program's own.
spawn() { "${userenv[@]}" "$@" >>"$root/gui.log" 2>&1 & pids+=($!); }
wait_for() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
fail() { echo "a11ycheck: $*" >&2; exit 2; }
as_user mkdir -m 700 "$root/home" "$root/run"

# Two ready servers, so that choosing one takes the list; chronyd answers for the first.
server() {
  ip netns exec "$LAB_SERVER_NS" "$build/tests/lab/labserver" --address "$1" --json "$2" "${@:3}" \
    >/dev/null 2>&1 &
  pids+=($!)
}
server "$LAB_SERVER" '{"id":"studio","name":"Studio clock","ver":"2.4","stratum":2,"source":"NTP","clients":3,"synced":true,"accepting":true}' --no-ntp
server 192.0.2.3 '{"id":"annex","name":"Annex","ver":"2.4","stratum":3,"source":"NTP","clients":1,"synced":true,"accepting":true}'

Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$root/display" >/dev/null 2>&1 &
pids+=($!)
wait_for test -s "$root/display" || fail "Xvfb did not start"
DISPLAY=":$(cat "$root/display")" && export DISPLAY
"${userenv[@]}" dbus-daemon --session --nofork --print-address=5 5>"$root/bus" >/dev/null 2>&1 &
pids+=($!)
wait_for test -s "$root/bus" || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$root/bus") && export DBUS_SESSION_BUS_ADDRESS
spawn /usr/libexec/at-spi-bus-launcher --launch-immediately
spawn trayer --edge top --align right --widthtype request --height 28 --SetDockType true

# Qt hands its tree to the accessibility bus even with no screen reader announced.
start_app() {
  spawn env QT_QPA_PLATFORM=xcb QT_FONT_DPI=72 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_ACCESSIBILITY=1 "$app" "$@"
  app_pid=${pids[-1]}
}
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait_for ended || kill -KILL "$app_pid" 2>/dev/null || true
}
client() {
  local r=0
  as_user /usr/bin/python3 "$here/a11ycheck.py" "$@" || r=$?
  [ "$r" -le 1 ] || fail "the client stopped (status $r)"
  found=$((found + r))
}
found=0

echo "# the main window, and setting up by keyboard alone"
start_app
client main
stop_app

echo
echo "# the clock alert and the menu-bar item: no server, the last sync an hour ahead of the clock"
as_user "$tool" remove >/dev/null # so that Sync now is held back and has to say why
last=$(($(date +%s%3N) + 3600000))
conf="$root/home/.config/Ondavix"
as_user mkdir -p "$conf"
# shellcheck disable=SC2016 # expanded by the inner shell
as_user sh -c 'printf "[clock]\nlastSyncUtcMs=%s\n\n[menuBar]\nwatch=true\n" "$1" >"$2"' sh "$last" \
  "$conf/Tessavel Veridir.conf"
start_app --login
client alert
stop_app

rc=$((found > 0))
