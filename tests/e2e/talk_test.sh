#!/usr/bin/env bash
# The real piko on a virtual X server, heard through SDL's disk driver: a line
# typed into the talk box and Return sound as 2.wav followed (within a block) by
# 4.wav, and the pet keeps the line in my.dat when a signal ends it.
set -euo pipefail
bin=${1:?usage: talk_test.sh BUILD_BIN_DIR PIKO_HEARD}
heard=${2:?usage: talk_test.sh BUILD_BIN_DIR PIKO_HEARD}
fail() { echo "FAIL: $*" >&2; [ -s "${work:-/nonexistent}/err" ] && sed 's/^/piko: /' "$work/err" >&2; exit 1; }
for tool in Xvfb xdotool iconv; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs it)"
done

work=$(mktemp -d)
xvfb= pid=
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
app="$work/app"
mkdir -p "$app"
cp "$bin/piko" "$app/"
cp -r "$bin/cg" "$app/cg"
# A living, contented pet that has learned nothing yet (no SOUNDMIX.INI: the mixer's defaults).
{ printf 'ﾋﾟｺ\r\n4\r\n6\r\n12\r\n12\r\n10\r\n0\r\n500\r\n0\r\n' | iconv -f UTF-8 -t CP932
  for _ in $(seq 1 256); do printf '\r\n'; done; } > "$app/my.dat"
line="hello piko $$"

# A display of our own: -displayfd picks a free number, so parallel runs never meet.
exec 5>"$work/display"
# Never on our output: a server left behind would keep ctest waiting for its end.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>"$work/xvfb.err" &
xvfb=$!
exec 5>&-
for _ in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY SDL_DISKAUDIODELAY  # the disk driver at a sound card's pace
export SDL_AUDIODRIVER=disk
# No session bus: nothing may start a dbus daemon of its own on our display and outlive the test.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
# Under AddressSanitizer: libxkbcommon-x11 hands strndup a name that is not
# NUL-terminated at the end of a reply (legal, strndup stops at the count),
# which strict string checks take for an overflow. Everything else stays on.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
fi

SDL_DISKAUDIOFILE="$work/out.raw" "$app/piko" 2>"$work/err" &
pid=$!
wid=
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || fail "piko ended at start"
  wid=$(xdotool search --onlyvisible --name 'ピコ日記' 2>/dev/null | head -n1) || true
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no piko window after 60 s"

# What the stream must hold, converted by the mixer as the program converts it.
expect() { env -u DISPLAY SDL_DISKAUDIOFILE="$work/helper.raw" "$heard" "$app" "$work/out.raw" 2.wav 4.wav; }

# No window manager gives the focus (keys go to whatever lies under the
# pointer): a click in the talk box takes it, checked before typing. Typed
# keys that went nowhere are retried; the box is emptied first.
said=0
for attempt in 1 2 3 4 5; do
  focused=
  for _ in $(seq 1 20); do
    xdotool mousemove --window "$wid" 240 220 click 1
    sleep 0.3
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] && { focused=1; break; }
  done
  [ -n "$focused" ] || fail "the window never took the keyboard focus"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 30 "$line"
  xdotool key Return
  for _ in $(seq 1 40); do
    if expect >"$work/expect.out"; then said=$attempt; break 2; fi
    sleep 0.5
  done
  echo "attempt $attempt not heard: $(cat "$work/expect.out")" >&2
done
[ "$said" != 0 ] || fail "2.wav then 4.wav never heard: $(cat "$work/expect.out")"
cat "$work/expect.out"

kill -TERM "$pid"
rc=0
wait "$pid" || rc=$?
pid=
[ "$rc" = 0 ] || fail "SIGTERM: exit code $rc"
expect >/dev/null || fail "the stream lost the sounds at the end"
# Line 9 counts the learned words, line 10 holds the first.
count=$(sed -n 9p "$app/my.dat" | tr -d '\r')
first=$(sed -n 10p "$app/my.dat" | tr -d '\r')
[ "$first" = "$line" ] || fail "my.dat's first word is '$first', expected '$line'"
[ "$count" -ge 1 ] || fail "my.dat counts $count words"
echo "ok (heard on attempt $said)"
