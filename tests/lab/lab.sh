#!/usr/bin/env bash
# The lab network: two network namespaces, "client" and "server", joined by a veth pair on
# 192.0.2.0/24 (TEST-NET-1, never routed), with chronyd serving NTP on the server side.
#
#   lab.sh run [--no-chrony] -- COMMAND [ARGS...]
#
# runs COMMAND inside the client namespace and exits with its status. Everything the lab made
# (namespaces, chronyd, the processes whose ids land in $LAB_DIR/pids) is removed on exit,
# also when COMMAND fails or the script is interrupted. COMMAND sees:
#   LAB_CLIENT       192.0.2.1, the client's address
#   LAB_SERVER       192.0.2.2, chronyd's address
#   LAB_SPARE        192.0.2.3 to 192.0.2.20, more server addresses, free for test peers
#   LAB_SERVER_NS    the server namespace, for `ip netns exec`
#   LAB_DIR          a private folder; write process ids to $LAB_DIR/pids to have them stopped
set -euo pipefail

[ "${1:-}" = run ] || { echo "usage: lab.sh run [--no-chrony] -- COMMAND [ARGS...]" >&2; exit 2; }
shift
chrony=1
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --no-chrony) chrony=0 ;;
    *) echo "lab.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { echo "lab.sh: no command" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "lab.sh: needs root (ip netns)" >&2; exit 1; }

id=$$
cns="tvc$id"
sns="tvs$id"
dir=$(mktemp -d /tmp/tvlab.XXXXXX)
chmod 755 "$dir"
: >"$dir/pids"

teardown() {
  local rc=$?
  trap - EXIT INT TERM
  if [ -s "$dir/pids" ]; then
    while read -r pid; do
      [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done <"$dir/pids"
    sleep 0.2
    while read -r pid; do
      [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null || true
    done <"$dir/pids"
  fi
  ip netns del "$cns" 2>/dev/null || true
  ip netns del "$sns" 2>/dev/null || true
  rm -rf "$dir"
  exit "$rc"
}
trap teardown EXIT
trap 'exit 130' INT TERM

ip netns add "$cns"
ip netns add "$sns"
ip link add "${cns}v" type veth peer name "${sns}v"
ip link set "${cns}v" netns "$cns"
ip link set "${sns}v" netns "$sns"
ip -n "$cns" link set lo up
ip -n "$sns" link set lo up
ip -n "$cns" addr add 192.0.2.1/24 broadcast 192.0.2.255 dev "${cns}v"
ip -n "$sns" addr add 192.0.2.2/24 broadcast 192.0.2.255 dev "${sns}v"
spare=""
for a in $(seq 3 20); do
  spare="$spare 192.0.2.$a"
  ip -n "$sns" addr add "192.0.2.$a/24" broadcast 192.0.2.255 dev "${sns}v"
done
ip -n "$cns" link set "${cns}v" up
ip -n "$sns" link set "${sns}v" up
# A default route lets the limited broadcast 255.255.255.255 leave by the lab's interface.
ip -n "$cns" route add default via 192.0.2.2

if [ $chrony -eq 1 ]; then
  cat >"$dir/chrony.conf" <<CONF
# No sources: serve the local clock. -x below keeps chronyd's hands off the clock itself.
local stratum 8
allow all
bindaddress 192.0.2.2
port 123
cmdport 0
pidfile $dir/chronyd.pid
CONF
  # -x: never adjust the system clock; namespaces do not isolate it.
  ip netns exec "$sns" chronyd -x -d -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 &
  echo $! >>"$dir/pids"
  for _ in $(seq 50); do
    ip netns exec "$sns" ss -Hlun 'sport = :123' | grep -q 192.0.2.2 && break
    sleep 0.1
  done
  ip netns exec "$sns" ss -Hlun 'sport = :123' | grep -q 192.0.2.2 ||
    { echo "lab.sh: chronyd did not start:" >&2; cat "$dir/chronyd.log" >&2; exit 1; }
fi

set +e
ip netns exec "$cns" env LAB_CLIENT=192.0.2.1 LAB_SERVER=192.0.2.2 \
  LAB_SPARE="${spare# }" LAB_SERVER_NS="$sns" LAB_DIR="$dir" "$@"
status=$?
set -e
exit $status
