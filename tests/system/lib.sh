# Shared by the shell tests: the real piko in a folder of its own, started and stopped.
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy && unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
# Whatever piko a failed check left running goes with the folder.
trap 'for p in $(jobs -p); do kill -KILL $p 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"' EXIT
copy_app() { mkdir -p "$work/app" && cp "$1/piko" "$work/app/" && cp -r "$1/cg" "$work/app/cg"; }  # from folder $1
# my.dat whose first lines are the arguments, the rest of its 265 lines empty.
pet() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932; for _ in $(seq $# 264); do printf '\r\n'; done; }
# Waits until the piko in folder $1 owns its pet: it holds the lock.
wait_ready() {
  for _ in $(seq 1 200); do
    [ -e "$1/my.dat.lock" ] && grep -q "FLOCK.*:$(stat -c %i "$1/my.dat.lock") " /proc/locks && sleep 0.5 && return 0 ||
      sleep 0.05
  done
  fail "piko in $1 did not come up"
}
# What --where says of pet folder $1 and data folder $2.
where_is() { printf 'pet: %s/\npictures and sounds: %s/cg/\nSOUNDMIX.INI: %s/SOUNDMIX.INI' "$1" "$2" "$1"; }
# Starts piko with the environment given ($@), waits for it in folder $dir, sends it $sig, sets $rc.
run_until() {
  env "$@" 2>/dev/null &
  wait_ready "$dir" && kill "-$sig" $!
  rc=0 && wait $! || rc=$?
}
