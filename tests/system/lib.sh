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
# A display of our own, never on our output (a server left behind would keep ctest waiting); no session bus.
start_x() {
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>"$work/xvfb.err" 5>"$work/display" &
  for _ in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
  # libxkbcommon-x11 hands strndup a name not NUL-terminated (legal): strict string checks take it for an overflow.
  [ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
}
# Sets $wid to the window of the piko $pid, whose errors go to $1.
window_of() {
  for _ in $(seq 1 600); do
    wid=$(xdotool search --onlyvisible --name 'ピコ日記' 2>/dev/null | head -n1) && [ -n "$wid" ] && break
    kill -0 $pid && sleep 0.1 || fail "piko ended at start: $(cat "$1" "$work/xvfb.err")"
  done
}
# No window manager gives the focus: a click in the talk box takes it, checked before typing.
focus_talk_box() {
  for _ in $(seq 1 20); do
    xdotool mousemove --window "$wid" 240 220 click 1 && sleep 0.3
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] && break
  done
}
# Starts piko with the environment given ($@), waits for it in folder $dir, sends it $sig, sets $rc.
run_until() {
  env "$@" 2>/dev/null &
  wait_ready "$dir" && kill "-$sig" $!
  rc=0 && wait $! || rc=$?
}
