# Sourced by the scripts that run a private daemon for the tests (scripts/cupsd,
# scripts/smbserver). One instance per port and folder, shared by parallel test
# runs: "start" joins a running instance, "stop" leaves it, and the last user
# stops it. The sourcing script sets name, port and dir and defines
#   daemon_launch    prepares $dir and starts the daemon in the background,
#                    writing its process id to $pidfile
#   daemon_cleanup   (optional) ends what the daemon started on its own
# and may set start_seconds (5), how long the daemon may take to listen; it
# then calls daemon_main "$@".

pidfile="$dir/daemon.pid"
users="$dir/users"

die() { echo "$name: $*" >&2; exit 1; }

# A process that has ended but not been reaped yet counts as gone.
alive() {
  local state
  [[ -n ${1:-} ]] || return 1
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z && $state != X ]]
}

running() { [[ -f $pidfile ]] && alive "$(cat "$pidfile")"; }

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

# Ends one process by its id: politely, then after five seconds for good.
end_process() {
  local pid=$1
  alive "$pid" || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do
    alive "$pid" || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

stop_daemon() {
  end_process "$(cat "$pidfile" 2>/dev/null || true)"
  if declare -F daemon_cleanup >/dev/null; then daemon_cleanup; fi
  rm -f "$pidfile" "$users"
}

daemon_start() {
  mkdir -p "$dir"
  exec 9>"$dir/.lock"
  flock 9
  if running; then
    echo $(($(cat "$users" 2>/dev/null || echo 0) + 1)) >"$users"
    echo "$name: joined the daemon on 127.0.0.1:$port"
    return 0
  fi
  listening && die "port $port is taken by another program; choose another port"
  daemon_launch 9>&-  # the daemon must not hold the lock
  for _ in $(seq 1 $((${start_seconds:-5} * 20))); do
    listening && break
    running || { cat "$dir/daemon.log" >&2 2>/dev/null || true; stop_daemon; die "the daemon ended at start"; }
    sleep 0.05
  done
  listening || { stop_daemon; die "the daemon does not listen on 127.0.0.1:$port"; }
  echo 1 >"$users"
  echo "$name: started on 127.0.0.1:$port (pid $(cat "$pidfile"))"
}

daemon_stop() {
  [[ -d $dir ]] || return 0
  exec 9>"$dir/.lock"
  flock 9
  running || { stop_daemon; return 0; }
  local n
  n=$(($(cat "$users" 2>/dev/null || echo 1) - 1))
  if ((n > 0)); then
    echo "$n" >"$users"
    echo "$name: left the daemon ($n user(s) remain)"
    return 0
  fi
  stop_daemon
  echo "$name: stopped"
}

daemon_main() {
  case "${1:-}" in
    start) daemon_start ;;
    stop) daemon_stop ;;
    status) running && listening ;;
    *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
  esac
}
