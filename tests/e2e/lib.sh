# Helpers for starting the real piko headless and stopping it.
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits until the piko in folder $1 owns its pet: it listens for raise
# requests only once it holds the lock, right before catching signals.
wait_ready() {
  local dir=$1 id
  for _ in $(seq 1 200); do
    if [ -e "$dir/my.dat.lock" ]; then
      id=$(id -u)-$(stat -c '%d-%i' "$dir/my.dat.lock")
      if grep -q "@jp.example.piko-$id\$" /proc/net/unix; then sleep 0.5; return 0; fi
    fi
    sleep 0.05
  done
  fail "piko in $dir did not come up"
}

# Sends signal $2 to pid $1 and puts its exit code into $rc (not through
# $(...): a subshell cannot wait for our children).
stop_with() {
  kill "-$2" "$1"
  rc=0
  wait "$1" || rc=$?
}

# Stops whatever piko a failed check left running, then removes $1.
cleanup() {
  local p
  for p in $(jobs -p); do kill -KILL "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$1"
}
