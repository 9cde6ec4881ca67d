# shellcheck shell=bash
# The application's part of scripts/demo, sourced by it inside the lab's client namespace after
# the tool's own steps. The application runs as the demo's user in self-test mode on a virtual
# display with a tray host, and is driven with real input events as a user would drive it.
# From scripts/demo: build, root, state, log, user, reports, in_user_env, as_user, wait_for,
# note, started (the process ids that cleanup stops).

app="$build/Tessavel Veridir.app/Contents/MacOS/Tessavel Veridir"
shots="$build/demo-screens"
home="$root/home"
faked="$root/faketime"
rm -rf "$shots" && mkdir -p "$shots"
in_user_env mkdir -m 700 "$home" "$root/run"

Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$root/display" >/dev/null 2>&1 &
started+=($!) && echo $! >>"$LAB_DIR/pids"
wait_for test -s "$root/display" || { echo "Xvfb did not start"; exit 1; }
DISPLAY=":$(cat "$root/display")" && export DISPLAY
wait_for xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "the display does not answer"; exit 1; }

# Starts a program as the user, in the background; its process id lands in $last. The Mac
# lays text out at 72 logical dpi, and the windows are drawn for that.
spawn() {
  setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- \
    env TESSAVEL_CONNECT_TEST_ROOT="$root" TESSAVEL_LAUNCHD_DIR="$launchd" HOME="$home" \
    XDG_RUNTIME_DIR="$root/run" QT_QPA_PLATFORM=xcb QT_FONT_DPI=72 "$@" >>"$root/gui.log" 2>&1 &
  last=$! && started+=("$last") && echo "$last" >>"$LAB_DIR/pids"
}

spawn trayer --edge top --align right --widthtype request --height 28 --SetDockType true
shot_n=0
# A screenshot of the whole screen, or of a part of it (the top right corner, a window), doubled.
shot() {
  local file
  shot_n=$((shot_n + 1)) && file=$(printf '%s/%02d-%s.png' "$shots" "$shot_n" "$1")
  sleep 0.5 # the last repaint
  if [ -n "${2:-}" ]; then
    import -window root -crop "$2" +repage "$file" && convert "$file" -scale 200% "$file"
  else
    import -window root "$file"
  fi
  echo "  screenshot: $file"
}
# The first visible window of that exact title that is neither the main window nor the
# menu-bar item's icon.
find_window() {
  local w X Y WIDTH HEIGHT SCREEN WINDOW
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$w" != "${main:-}" ] && [ "$WIDTH" -gt 64 ] && echo "$w" && return 0
  done
  return 1
}
window() {
  for _ in $(seq 100); do find_window "$1" && return 0; sleep 0.1; done
  echo "the window \"$1\" did not come up" >&2
  return 1
}
gone() { ! find_window "$1" >/dev/null; }
click() { xdotool mousemove --sync --window "$1" "$2" "$3" click 1; }
press() { xdotool windowfocus --sync "$1" key "${@:2}"; }
# The tray's panel, once it has taken the menu-bar item's icon in; its geometry as variables.
tray_panel() {
  WIDTH=0
  eval "$(xdotool search --onlyvisible --name '^panel$' getwindowgeometry --shell)"
  [ "$WIDTH" -gt 2 ]
}
# Whether a popup menu lies under the pointer (a menu is found by place, not by name).
menu_open() {
  WIDTH=0
  eval "$(xdotool getmouselocation --shell)"
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
  [ "$WIDTH" -gt 64 ]
}
# Opens the menu-bar item's menu, takes a picture of it, and picks the item so many places
# from its end (0: closes it again).
tray_menu() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  wait_for tray_panel || { echo "  no icon in the tray"; exit 1; }
  # At the icon's foot, so that the menu opens below the lamp and leaves it in sight.
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 3)) click 3
  wait_for menu_open || { echo "  the menu did not open"; exit 1; }
  [ -z "${2:-}" ] || shot "$2" 400x160+880+0
  [ "$1" -gt 0 ] || { xdotool key Escape; return; }
  for _ in $(seq "$1"); do xdotool key Up; done
  xdotool key Return
}
reported() { grep -c . "$reports" 2>/dev/null || true; }
# A beacon report of that state, after the first $2 reports.
reports_state() { tail -n +$(($2 + 1)) "$reports" 2>/dev/null | grep -q "\"state\":\"$1\""; }
# The sync runs the tool logged from that moment on (ISO times compare as text).
synced_since() { awk -v t="$1" '/tessavel-connect: sync against/ && $1 >= t' "$log" | grep .; }
ended() { ! kill -0 "$1" 2>/dev/null; }

note "the application, as $user on a virtual display ($DISPLAY) with a tray; screenshots in $shots"
spawn "$app"
app_pid=$last
main=$(window "Tessavel Veridir") || exit 1
sleep 2 # the search the window starts as it opens
shot servers
echo "  the list shows the lab's servers; the user picks Studio clock and sets up"
syncs=$(syncs_logged)
click "$main" 63 385
click "$main" 490 723
box=$(window "Set up syncing") || exit 1
shot confirm-setup
press "$box" Return
wait_for more_syncs_than "$syncs" || { echo "  setup did not complete"; exit 1; }
box=$(window "Tessavel Veridir") || exit 1
shot set-up
press "$box" Return
as_user status | sed 's/^/  status: /'

note "keeping watch in the menu bar: the lamp, and reports to the server"
before=$(reported)
click "$main" 36 643
box=$(window "Tessavel Veridir") || exit 1
shot start-at-login
press "$box" Escape # "Not Now"
wait_for reports_state sync "$before" || { echo "  the clock did not come in sync"; exit 1; }
shot in-sync
tray_menu 1 menu-bar-in-sync # "Quit Tessavel Veridir"
wait_for ended "$app_pid" || { echo "  the application did not quit"; exit 1; }
grep -q '^unicast {"bye":true' "$reports" || { echo "  no farewell report"; exit 1; }
echo "  quit from the menu bar; the server got the farewell report"

note "the clock goes back an hour (libfaketime, for the application alone)"
step allow-set-time --user "$(id -u "$user")"
as_user allow-set-time --user "$(id -u "$user")"
in_user_env sh -c 'echo -3600 >"$1"' sh "$faked"
rm -f "$root/clock-set-to"
faketime=$(dpkg -L libfaketime | grep '/libfaketime\.so\.1$')
before=$(reported)
spawn env LD_PRELOAD="$faketime" FAKETIME_TIMESTAMP_FILE="$faked" FAKETIME_CACHE_DURATION=1 \
  FAKETIME_DONT_FAKE_MONOTONIC=1 FAKETIME_ONLY_CMDS="${app##*/}" "$app" --login
app_pid=$last
main=
alert=$(window "Tessavel Veridir: clock alert") || exit 1
find_window "Tessavel Veridir" >/dev/null && { echo "  a window opened at login"; exit 1; }
wait_for reports_state wrong "$before" || { echo "  no \"wrong\" report"; exit 1; }
shot clock-alert
tray_menu 0 menu-bar-clock-wrong
echo "  started at login: only the menu bar and the alert; the user sets the clock from it"
# Typed as the wall clock says, a moment ahead; the grant takes it without a password.
click "$alert" 124 351 && xdotool key ctrl+a type "$(date +%Y-%m-%d)"
click "$alert" 296 351 && xdotool key ctrl+a type "$(date -d '+5 sec' +%H:%M:%S)"
shot time-typed
click "$alert" 540 351
wait_for test -s "$root/clock-set-to" || { echo "  the clock was not set"; exit 1; }
echo "  clock-set-to: $(cat "$root/clock-set-to")"
# Self-test mode writes the time instead of setting the clock: the application's clock is set
# to it here, as of the moment the tool set it.
set_to=$(date -d "$(cat "$root/clock-set-to")" +%s)
moment=$(stat -c %.Y "$root/clock-set-to")
in_user_env sh -c 'echo "$2" >"$1"' sh "$faked" "$(awk "BEGIN { printf \"%+.3f\", $set_to - $moment }")"
before=$(reported)
wait_for gone "Tessavel Veridir: clock alert" || { echo "  the alert stayed"; exit 1; }
echo "  the alert is gone: the clock no longer reads earlier than its last sync"
wait_for reports_state off "$before" || { echo "  no \"off\" report"; exit 1; }
asked=$(date -u +%Y-%m-%dT%H:%M:%SZ)
tray_menu 2 menu-bar-clock-off # "Sync now"
wait_for synced_since "$asked" >/dev/null || { echo "  no sync came"; exit 1; }
synced_since "$asked" | sed 's/^/  /'
# The sync steps the clock; self-test mode does that to the application's clock here.
in_user_env sh -c 'echo +0 >"$1"' sh "$faked"
# The next measurement, within 10 s, finds the clock in sync.
WAIT=300 wait_for reports_state sync "$before" || { echo "  the clock did not come in sync"; exit 1; }
tray_menu 3 menu-bar-in-sync-again # "Open Tessavel Veridir"
main=$(window "Tessavel Veridir") || exit 1
sleep 2 # the search the window starts as it opens
shot in-sync-again
echo "  the clock's history, opened by the clock panel's History… button: 1 HOUR chosen by keys"
click "$main" 537 69
history=$(window "Tessavel Veridir: clock history") || exit 1
press "$history" Left space
eval "$(xdotool getwindowgeometry --shell "$history")"
shot history "${WIDTH}x${HEIGHT}+${X}+${Y}"
tray_menu 1 # "Quit Tessavel Veridir", which closes the open window too
wait_for ended "$app_pid" || { echo "  the application did not quit"; exit 1; }
echo "  quit from the menu bar with the window open"
