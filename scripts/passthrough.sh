# Sourced by scripts/test and scripts/demo. The tests and the demo run the tool as an
# unprivileged user, who must reach the build even when the checkout sits in a private
# folder: let_others_through grants search (o+x) on the folders leading there that lack it,
# and narrow_again takes back exactly those grants.
widened=()
let_others_through() {
  local d=$1
  while [ "$d" != / ]; do
    if [ $((0$(stat -c %a "$d") & 1)) -eq 0 ]; then
      chmod o+x "$d" && widened+=("$d")
    fi
    d=$(dirname "$d")
  done
}
narrow_again() {
  local d
  for d in "${widened[@]}"; do chmod o-x "$d" 2>/dev/null || true; done
  widened=()
}
