#!/bin/sh
# Stand-in for /usr/sbin/systemsetup on Linux: the network time server and automatic time,
# kept in a file instead of the platform's settings, with the real program's output lines.
# The file is $TESSAVEL_SYSTEMSETUP_FILE; without it the program, like the real one, is for
# root only and keeps its file under /var/lib.
set -u
file=${TESSAVEL_SYSTEMSETUP_FILE:-}
if [ -z "$file" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "You need administrator access to run this tool... exiting!"
    exit 1
  fi
  file=/var/lib/tessavel-standins/systemsetup
fi

# Until something is set, the platform's own defaults.
server=time.apple.com
network=On
if [ -f "$file" ]; then
  while IFS='=' read -r key value; do
    case "$key" in
      server) server=$value ;;
      network) network=$value ;;
    esac
  done <"$file"
fi

save() {
  mkdir -p "$(dirname "$file")" || exit 1
  tmp=$(mktemp "$file.XXXXXX") || exit 1
  printf 'server=%s\nnetwork=%s\n' "$server" "$network" >"$tmp" && mv -f "$tmp" "$file"
}

case "${1:-}" in
  -getnetworktimeserver) echo "Network Time Server: $server" ;;
  -getusingnetworktime) echo "Network Time: $network" ;;
  -setnetworktimeserver)
    [ $# -eq 2 ] || { echo "systemsetup: -setnetworktimeserver needs a server"; exit 1; }
    server=$2
    save && echo "setNetworkTimeServer: $server"
    ;;
  -setusingnetworktime)
    case "${2:-}" in
      on | On | ON) network=On ;;
      off | Off | OFF) network=Off ;;
      *) echo "systemsetup: -setusingnetworktime needs on or off"; exit 1 ;;
    esac
    save && echo "setUsingNetworkTime: $network"
    ;;
  *)
    echo "systemsetup: unknown option ${1:-}"
    exit 1
    ;;
esac
