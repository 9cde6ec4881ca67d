#!/usr/bin/env bash
# The lab network (tests/lab/README.md): namespaces "client" and "server" joined by a veth pair
# on 192.0.2.0/24 (TEST-NET-1, never routed), chronyd serving NTP on the server side.
#   lab.sh run -- COMMAND [ARGS...]
# runs COMMAND in the client namespace and removes all the lab made, also on failure.
set -euo pipefail

fail() { echo "$2" >&2; exit "$1"; }
[ "${1:-}" = run ] && [ "${2:-}" = -- ] || fail 2 "usage: lab.sh run -- COMMAND [ARGS...]"
shift 2
[ $# -gt 0 ] || fail 2 "lab.sh: no command"
[ "$(id -u)" -eq 0 ] || fail 1 "lab.sh: needs root (ip netns)"

cns="tvc$$" sns="tvs$$" dir=$(mktemp -d /tmp/tvlab.XXXXXX)
chmod 755 "$dir" && : >"$dir/pids"
teardown() {
  local rc=$?
  trap - EXIT INT TERM
  # What is listed gets a moment to end, then is killed.
  for sig in TERM KILL; do
    while read -r pid; do kill -"$sig" "$pid" 2>/dev/null || true; done <"$dir/pids"
    if [ $sig = TERM ] && [ -s "$dir/pids" ]; then sleep 0.2; fi
  done
  for ns in "$cns" "$sns"; do ip netns del "$ns" 2>/dev/null || true; done
  rm -rf "$dir"
  exit "$rc"
}
trap teardown EXIT
trap 'exit 130' INT TERM

ip netns add "$cns" && ip netns add "$sns"
ip link add "${cns}v" type veth peer name "${sns}v"
spare=$(seq -f '192.0.2.%g' -s ' ' 3 20)
for ns in "$cns" "$sns"; do ip link set "${ns}v" netns "$ns" && ip -n "$ns" link set lo up; done
ip -n "$cns" addr add 192.0.2.1/24 broadcast 192.0.2.255 dev "${cns}v"
for a in 192.0.2.2 $spare; do ip -n "$sns" addr add "$a/24" broadcast 192.0.2.255 dev "${sns}v"; done
for ns in "$cns" "$sns"; do ip -n "$ns" link set "${ns}v" up; done
# A default route lets the limited broadcast 255.255.255.255 leave by the lab's interface.
ip -n "$cns" route add default via 192.0.2.2

# No sources: serve the local clock. -x: never adjust the clock, which namespaces share.
printf '%s\n' "local stratum 8" "allow all" "bindaddress 192.0.2.2" "port 123" "cmdport 0" \
  "pidfile $dir/chronyd.pid" >"$dir/chrony.conf"
ip netns exec "$sns" chronyd -x -d -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 &
echo $! >>"$dir/pids"
listening() { ip netns exec "$sns" ss -Hlun 'sport = :123' | grep -q 192.0.2.2; }
for _ in $(seq 100); do listening && break || sleep 0.1; done
listening || fail 1 "lab.sh: chronyd did not start: $(cat "$dir/chronyd.log")"

# A day of uptime, as in tests/ownnet.sh: no fresh-boot retries in the sync job.
ip netns exec "$cns" unshare --time --boottime 86400 env LAB_CLIENT=192.0.2.1 LAB_SERVER=192.0.2.2 LAB_SPARE="$spare" \
  LAB_SERVER_NS="$sns" LAB_DIR="$dir" "$@"
