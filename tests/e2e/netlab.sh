# A lab of hosts on a private LAN, built from network namespaces, for tests
# that need real broadcast between machines. Source it from a bash test:
#
#   . netlab.sh
#   netlab_require            # exits with 77 (skipped) unless root with `ip netns`
#   netlab_setup 2            # hosts 1..2 on 10.77.N.0/24, torn down at exit
#   netlab_exec 1 cmd...      # runs cmd inside host 1 and waits for it
#   netlab_spawn 2 out cmd... # starts cmd inside host 2, stdout+stderr to out
#   netlab_wait_all           # waits for every spawned command
#
# Each host has lo up, eth0 = 10.77.N.<k>/24 with IPv6 off, and a default
# route through eth0, so a broadcast to 255.255.255.255 reaches every other
# host through the lab's bridge and nothing else. Every name carries this
# shell's PID, so labs of parallel tests never meet. The lab is removed on
# exit, on INT and on TERM, and every process started in it is killed and
# reaped first (PID 1 does not reap orphans here); a test may define
# netlab_on_cleanup for its own files.

NETLAB_PREFIX="tovik$$"
NETLAB_SUBNET="10.77.$(($$ % 200 + 20))"
NETLAB_HOSTS=()
NETLAB_PIDS=()

netlab_skip() { echo "SKIPPED: $*" && exit 77; }

netlab_require() {
  [ "$(id -u)" = 0 ] || netlab_skip "the network lab needs root"
  ip netns add "${NETLAB_PREFIX}probe" 2>/dev/null || netlab_skip "cannot create a network namespace (ip)"
  ip netns del "${NETLAB_PREFIX}probe"
}

netlab_host() { echo "${NETLAB_PREFIX}h$1"; }
netlab_ip() { echo "${NETLAB_SUBNET}.$1"; }

# Creates hosts 1..count joined by a bridge in a switch namespace (host 0).
netlab_setup() {
  local k ns sw
  trap netlab_cleanup EXIT && trap 'netlab_cleanup; exit 130' INT && trap 'netlab_cleanup; exit 143' TERM
  sw=$(netlab_host 0)
  for k in $(seq 0 "$1"); do
    ns=$(netlab_host "$k")
    ip netns add "$ns" && NETLAB_HOSTS+=("$ns")
    [ "$k" = 0 ] && ip -n "$sw" link add br0 up type bridge && continue
    ip link add eth0 netns "$ns" type veth peer name "p$k" netns "$sw"
    ip -n "$sw" link set "p$k" master br0 up
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.eth0.disable_ipv6=1
    ip -n "$ns" addr add "$(netlab_ip "$k")/24" dev eth0
    ip -n "$ns" link set lo up && ip -n "$ns" link set eth0 up
    ip -n "$ns" route add default dev eth0
  done
}

# Runs a command in host k with TOVIK_NETLAB_NS naming the namespace.
netlab_exec() {
  ip netns exec "$(netlab_host "$1")" env TOVIK_NETLAB_NS="$(netlab_host "$1")" "${@:2}"
}

# Starts a command in host k in the background; its output goes to a file.
# The subshell execs, so the recorded PID is the command itself: killing it
# leaves no orphan behind.
netlab_spawn() {
  (exec ip netns exec "$(netlab_host "$1")" env TOVIK_NETLAB_NS="$(netlab_host "$1")" "${@:3}" \
    </dev/null >"$2" 2>&1) &
  NETLAB_PIDS+=("$!")
}

# Waits for every spawned command; fails if any failed.
netlab_wait_all() {
  local pid status=0
  for pid in "${NETLAB_PIDS[@]}"; do wait "$pid" || status=1; done
  NETLAB_PIDS=()
  return $status
}

netlab_cleanup() {
  local pid ns
  trap - EXIT INT TERM
  for pid in "${NETLAB_PIDS[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  NETLAB_PIDS=()
  for ns in "${NETLAB_HOSTS[@]}"; do
    # Anything still running in the host (a detached daemon) goes too.
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  NETLAB_HOSTS=()
  if declare -F netlab_on_cleanup >/dev/null; then netlab_on_cleanup; fi
}
