# Shared by the shell tests: the real piko in a folder of its own, started and stopped.
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
# Whatever piko a failed check left running goes with the folder.
cleanup() { for p in $(jobs -p); do kill -KILL "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# A copy of the built program ($1: its folder) and its cg/ in $work/app.
copy_app() { mkdir -p "$work/app" && cp "$1/piko" "$work/app/" && cp -r "$1/cg" "$work/app/cg"; }
# my.dat whose first lines are the arguments, the rest of its 265 lines empty.
pet() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932; for _ in $(seq $# 264); do printf '\r\n'; done; }

# Waits until the piko in folder $1 owns its pet: it listens for raise
# requests only once it holds the lock, right before catching signals.
wait_ready() {
  for _ in $(seq 1 200); do
    if [ -e "$1/my.dat.lock" ] &&
       grep -q "@jp.example.piko-$(id -u)-$(stat -c '%d-%i' "$1/my.dat.lock")\$" /proc/net/unix; then
      sleep 0.5; return 0
    fi
    sleep 0.05
  done
  fail "piko in $1 did not come up"
}
# Sends signal $2 to pid $1 and puts its exit code into $rc (not through
# $(...): a subshell cannot wait for our children).
stop_with() { kill "-$2" "$1"; rc=0; wait "$1" || rc=$?; }
