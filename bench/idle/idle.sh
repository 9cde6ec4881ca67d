#!/usr/bin/env bash
# What the application costs while it waits, beside the least a Qt menu-bar program can be
# (idle-bare). Both run as a user would: as nobody, each on a virtual display of its own with a
# tray host, the application set up against chronyd (a planted job property list), keeping
# watch, first started at login (menu bar only), then started with its main window, which stays
# open; the peer shows a tray icon with a menu and a 10 s timer, then also a 1 Hz label.
#
#   tests/lab/lab.sh run -- bench/idle/idle.sh [--minutes M] [--warmup S] [--starts N]
#                                              [--menu-bar-only]
#
# M minutes measured in each of the two phases (default 3; 60 for the hour memory must stay
# flat through: the application has no time seam reachable from outside, so the hour is run),
# after S seconds of warm-up (default 30); N starts of each program to time the window
# (default 5, median); --menu-bar-only ends after the first phase (the hour of flat memory).
# Needs root, the lab, and the targets tessavel-veridir, idle-bare and
# labserver built in BUILD_DIR (default build/). Prints "name: value unit" lines:
#   cpu      utime+stime of all threads (exited ones included), % of one core
#   wakeups  voluntary context switches summed over all threads, a second
#   rss      VmRSS after warm-up and at the end, and the change between them
#   shown    from the start of the process to its window mapped on the display
# Everything it starts is stopped by process id when it ends, also on failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
app="$build/Tessavel Veridir.app/Contents/MacOS/Tessavel Veridir"
bare="$build/bench/idle/idle-bare"
labserver="$build/tests/lab/labserver"

fail() { echo "idle.sh: $*" >&2; exit 1; }
minutes=3 warmup=30 starts=5 only_bar=
while [ $# -gt 0 ]; do
  case "$1" in
  --menu-bar-only) only_bar=1 && shift && continue ;;
  --minutes) minutes=$2 ;;
  --warmup) warmup=$2 ;;
  --starts) starts=$2 ;;
  *) fail "usage: idle.sh [--minutes M] [--warmup S] [--starts N] [--menu-bar-only]" ;;
  esac
  shift 2
done
[ "$(id -u)" -eq 0 ] || fail "needs root"
[ -n "${LAB_DIR:-}" ] || fail "run it in the lab: tests/lab/lab.sh run -- $0"
for f in "$app" "$bare" "$labserver"; do [ -x "$f" ] || fail "not built: $f"; done
seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
[ "$seconds" -gt 0 ] || fail "--minutes must be more than 0"

# shellcheck source=scripts/passthrough.sh
. "$top/scripts/passthrough.sh"
user=nobody
root=$(mktemp -d /tmp/tv-idle.XXXXXX)
started=()
cleanup() {
  local rc=$? pid
  trap - EXIT INT TERM
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$root"
  narrow_again
  [ $rc -eq 0 ] || echo "idle.sh: failed (status $rc)" >&2
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM
let_others_through "$build"
keep() { started+=("$1") && echo "$1" >>"$LAB_DIR/pids"; }
forget() {
  local pid=$1 i
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  for i in "${!started[@]}"; do [ "${started[$i]}" != "$pid" ] || unset 'started[i]'; done
}
wait_for() { # up to $1 seconds
  local n=$(($1 * 10))
  shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# The user's world: a home with the settings of someone keeping watch, and the setup's job
# property list as the tool leaves it in self-test mode, following chronyd.
home="$root/home"
mkdir -p "$home/.config/Ondavix" "$root/run" "$root/tmp" "$root/Library/LaunchDaemons"
printf '[menuBar]\nwatch=true\n\n[server]\naddress=%s\nname=Studio clock\n' "$LAB_SERVER" \
  >"$home/.config/Ondavix/Tessavel Veridir.conf"
cat >"$root/Library/LaunchDaemons/com.tessavel.connect.selftest.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>Label</key><string>com.tessavel.connect.selftest</string>
<key>ProgramArguments</key><array><string>tessavel-connect</string><string>sync</string>
<string>--server</string><string>$LAB_SERVER</string></array>
</dict></plist>
EOF
chown -R "$user:" "$root" && chmod 700 "$home" "$root/run" "$root/tmp"

# chronyd's host also answers discovery and beacon reports, as a time server of ours would.
ip netns exec "$LAB_SERVER_NS" "$labserver" --address "$LAB_SERVER" --no-ntp \
  --report-log "$root/reports" \
  --json '{"id":"studio","name":"Studio clock","ver":"2.4","stratum":2,"source":"NTP","clients":3,"synced":true,"accepting":true}' \
  >/dev/null 2>&1 &
keep $!

# A display for each program: a virtual screen, a tray host, and xev telling each window that
# is mapped (read through descriptor 7 or 8).
declare -A display fd
for who in ours bare; do
  Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$root/display-$who" >/dev/null 2>&1 &
  keep $!
  wait_for 10 test -s "$root/display-$who" || fail "Xvfb did not start"
  display[$who]=":$(cat "$root/display-$who")"
  mkfifo "$root/maps-$who"
  fd[$who]=$([ $who = ours ] && echo 7 || echo 8)
  eval "exec ${fd[$who]}<>\"\$root/maps-$who\""
  DISPLAY=${display[$who]} stdbuf -oL xev -root -event substructure >"$root/maps-$who" 2>/dev/null &
  keep $!
done

# Starts a program as the user on the display of $1; its process id lands in $spawned. A
# temporary folder of its own keeps the application's one-copy socket apart from any other.
spawn() {
  local who=$1
  shift
  setpriv --reuid="$user" --regid="$(id -g "$user")" --clear-groups -- \
    env TESSAVEL_CONNECT_TEST_ROOT="$root" HOME="$home" XDG_RUNTIME_DIR="$root/run" TMPDIR="$root/tmp" \
    DISPLAY="${display[$who]}" QT_QPA_PLATFORM=xcb QT_FONT_DPI=72 "$@" >>"$root/$who.log" 2>&1 &
  spawned=$!
  keep "$spawned"
}
for who in ours bare; do spawn $who trayer --edge top --align right --widthtype request --height 28; done
sleep 1

# Milliseconds from starting the program (after $1 and $2, the display and the window's title)
# to that window mapped; the program's process id lands in $spawned.
time_shown() {
  local who=$1 title=$2 t0 at line win WIDTH=0
  shift 2
  while read -r -t 0.05 -u "${fd[$who]}" _; do :; done
  t0=$EPOCHREALTIME
  spawn "$who" "$@"
  while read -r -t 30 -u "${fd[$who]}" line; do
    [[ $line == MapNotify* ]] || continue
    at=$EPOCHREALTIME
    read -r -u "${fd[$who]}" line && win=${line#*window } && win=${win%%,*}
    [ "$(DISPLAY=${display[$who]} xdotool getwindowname "$win" 2>/dev/null)" = "$title" ] || continue
    eval "$(DISPLAY=${display[$who]} xdotool getwindowgeometry --shell "$win")"
    [ "$WIDTH" -gt 64 ] || continue
    awk -v a="${at/[.,]/}" -v b="${t0/[.,]/}" 'BEGIN { printf "%.1f\n", (a - b) / 1000 }'
    return 0
  done
  fail "the window \"$title\" did not come up: $(tail -5 "$root/$who.log")"
}

# The whole process's CPU ticks (exited threads included), its voluntary context switches
# summed over its threads (a thread that ended counts as last seen), and VmRSS in kB.
declare -A switches
sample() {
  local pid=$1 stat line tid sum=0 key
  stat=$(<"/proc/$pid/stat")
  read -r -a stat <<<"${stat##*) }"
  while IFS=: read -r line _ n; do
    tid=${line%/status} && tid=${tid##*/}
    switches[$pid:$tid]=${n//[[:space:]]/}
  done < <(grep -s '^voluntary_ctxt_switches' /proc/"$pid"/task/*/status)
  for key in "${!switches[@]}"; do [[ $key != "$pid":* ]] || sum=$((sum + switches[$key])); done
  echo "$((stat[11] + stat[12])) $sum $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")"
}

say() { printf '%s: %s %s\n' "$1" "$2" "$3"; }
ratio() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%s ratio: %s x\n", n, (b > 0 ? sprintf("%.2f", a / b) : "inf") }'; }

# Measures both programs for $seconds after the warm-up, and prints the figures of phase $1.
measure() {
  local phase=$1 ours=$2 bare=$3 who t0 t1 elapsed hz
  local -A pid=([ours]=$ours [bare]=$bare) first latest
  sleep "$warmup"
  for who in ours bare; do first[$who]=$(sample "${pid[$who]}"); done
  t0=$EPOCHREALTIME
  for ((i = 0; i < seconds; i++)); do
    sleep 1
    for who in ours bare; do latest[$who]=$(sample "${pid[$who]}"); done
  done
  t1=$EPOCHREALTIME
  elapsed=$(awk -v a="${t1/[.,]/}" -v b="${t0/[.,]/}" 'BEGIN { print (a - b) / 1e6 }')
  hz=$(getconf CLK_TCK)
  local -A cpu wakeups rss0 rss1
  for who in ours bare; do
    read -r c0 v0 r0 <<<"${first[$who]}"
    read -r c1 v1 r1 <<<"${latest[$who]}"
    cpu[$who]=$(awk -v c=$((c1 - c0)) -v hz="$hz" -v s="$elapsed" 'BEGIN { printf "%.3f", 100 * c / hz / s }')
    wakeups[$who]=$(awk -v v=$((v1 - v0)) -v s="$elapsed" 'BEGIN { printf "%.2f", v / s }')
    rss0[$who]=$r0 rss1[$who]=$r1
  done
  for who in ours bare; do say "$phase cpu $who" "${cpu[$who]}" "%"; done
  ratio "$phase cpu" "${cpu[ours]}" "${cpu[bare]}"
  for who in ours bare; do say "$phase wakeups $who" "${wakeups[$who]}" "/s"; done
  ratio "$phase wakeups" "${wakeups[ours]}" "${wakeups[bare]}"
  for who in ours bare; do
    say "$phase rss at start $who" "$(awk -v k="${rss0[$who]}" 'BEGIN { printf "%.1f", k / 1024 }')" MB
    say "$phase rss at end $who" "$(awk -v k="${rss1[$who]}" 'BEGIN { printf "%.1f", k / 1024 }')" MB
    say "$phase rss change $who" "$((rss1[$who] - rss0[$who]))" kB
    say "$phase rss growth $who" \
      "$(awk -v d=$((rss1[$who] - rss0[$who])) -v s="$elapsed" 'BEGIN { printf "%.1f", 60 * d / s }')" kB/min
  done
  ratio "$phase rss at end" "${rss1[ours]}" "${rss1[bare]}"
  say "$phase measured" "$elapsed" s
}

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "# menu bar: the application started at login, the peer with its tray icon"
spawn ours "$app" --login && ours=$spawned
spawn bare "$bare" && bare_pid=$spawned
synced() { grep -q '"state":"sync"' "$root/reports" 2>/dev/null; }
wait_for 60 synced || fail "the application did not come in sync: $(tail -5 "$root/ours.log")"
measure "menu bar" "$ours" "$bare_pid"
forget "$ours" && forget "$bare_pid"
[ -z "$only_bar" ] || exit 0

echo "# start to the main window shown, $starts starts each"
: >"$root/shown-ours" && : >"$root/shown-bare"
for ((n = 1; n <= starts; n++)); do
  time_shown ours "Tessavel Veridir" "$app" >>"$root/shown-ours" && ours=$spawned
  sleep 2
  time_shown bare "Bare label" "$bare" --window >>"$root/shown-bare" && bare_pid=$spawned
  sleep 2
  [ "$n" -eq "$starts" ] || { forget "$ours" && forget "$bare_pid"; }
done
for who in ours bare; do
  say "window shown $who" "$(median <"$root/shown-$who")" "ms"
  say "window shown each $who" "$(paste -sd' ' "$root/shown-$who")" "ms"
done
ratio "window shown" "$(median <"$root/shown-ours")" "$(median <"$root/shown-bare")"

echo "# main window open: the application's window, the peer's 1 Hz label"
measure "window open" "$ours" "$bare_pid"
