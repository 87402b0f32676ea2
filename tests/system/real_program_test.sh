#!/usr/bin/env bash
# The real piko heard through SDL's disk driver. Without a sound device it
# shows the fatal box and leaves my.dat alone. On a virtual X server, a line
# typed into the talk box and Return sound as 2.wav then (within a block)
# 4.wav, and the pet keeps the line in my.dat when a signal ends it.
set -euo pipefail
bin=${1:?usage: real_program_test.sh BUILD_BIN_DIR PIKO_HEARD}
heard=${2:?usage: real_program_test.sh BUILD_BIN_DIR PIKO_HEARD}
. "$(dirname "$0")/lib.sh"
for tool in Xvfb xdotool iconv; do command -v $tool >/dev/null || fail "$tool is missing (tools/install-deps.sh)"; done
copy_app "$bin"
app="$work/app"

# No driver of that name: no device. The fatal box waits; the signal ends the program behind it.
printf 'keep me\r\n' > "$app/my.dat"
SDL_AUDIODRIVER=no-such-driver "$app/piko" 2>"$work/err" &
pid=$!
for _ in $(seq 1 200); do grep -q "No wave output devices available" "$work/err" && break; sleep 0.05; done
grep -q "No wave output devices available" "$work/err" || fail "no sound device, no message: $(cat "$work/err")"
stop_with $pid TERM
[ "$rc" = 1 ] && [ "$(cat "$app/my.dat")" = $'keep me\r' ] || fail "no sound device: exit code $rc, my.dat $(cat "$app/my.dat")"

# A living, contented pet that has learned nothing yet; no SOUNDMIX.INI: the mixer's defaults.
pet ﾋﾟｺ 4 6 12 12 10 0 500 0 > "$app/my.dat"
line="hello piko $$"
# A display of our own (-displayfd picks a free number), never on our output:
# a server left behind would keep ctest waiting for its end.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>"$work/xvfb.err" &
exec 5>&-
for _ in $(seq 1 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
# The disk driver at a sound card's pace; no session bus for anything to start a daemon on.
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset SDL_DISKAUDIODELAY
# libxkbcommon-x11 hands strndup a name not NUL-terminated at the end of a
# reply (legal: strndup stops at the count), which strict string checks take for an overflow.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
SDL_DISKAUDIOFILE="$work/out.raw" "$app/piko" 2>"$work/err" &
pid=$!
wid=
for _ in $(seq 1 600); do
  kill -0 $pid 2>/dev/null || fail "piko ended at start: $(cat "$work/err")"
  wid=$(xdotool search --onlyvisible --name 'ピコ日記' 2>/dev/null | head -n1) || true
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || fail "no piko window after 60 s"

# What the stream must hold, converted by the mixer as the program converts it.
expect() { env -u DISPLAY SDL_DISKAUDIOFILE="$work/helper.raw" "$heard" "$app" "$work/out.raw" 2.wav 4.wav; }
# No window manager gives the focus: a click in the talk box takes it,
# checked before typing. Keys that went nowhere are typed again into an emptied box.
said=
for attempt in 1 2 3 4 5; do
  for _ in $(seq 1 20); do
    xdotool mousemove --window "$wid" 240 220 click 1
    sleep 0.3
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] && break
  done
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] || fail "the window never took the keyboard focus"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 30 "$line"
  xdotool key Return
  for _ in $(seq 1 40); do expect >"$work/expect.out" && { said=$attempt; break 2; }; sleep 0.5; done
  echo "attempt $attempt not heard: $(cat "$work/expect.out")" >&2
done
[ -n "$said" ] || fail "2.wav then 4.wav never heard: $(cat "$work/expect.out")"
stop_with $pid TERM
[ "$rc" = 0 ] || fail "SIGTERM: exit code $rc: $(cat "$work/err")"
expect >/dev/null || fail "the stream lost the sounds at the end"
# Line 9 counts the learned words, line 10 holds the first.
[ "$(sed -n 9p "$app/my.dat" | tr -d '\r')" -ge 1 ] && [ "$(sed -n 10p "$app/my.dat" | tr -d '\r')" = "$line" ] ||
  fail "my.dat did not learn '$line': $(sed -n 9,10p "$app/my.dat")"
echo "ok (heard on attempt $said)"
