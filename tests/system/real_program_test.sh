#!/usr/bin/env bash
# The real piko, a process of its own: it keeps all beside itself, and a signal behind the load error box
# saves. Without a sound device: the fatal box, my.dat left alone. On a virtual X server, heard through
# SDL's disk driver: a line typed into the talk box and Return sound as 2.wav then (within a block) 4.wav,
# and the pet keeps the line in my.dat when a signal ends it.
set -euo pipefail
bin=${1:?usage: real_program_test.sh BUILD_BIN_DIR PIKO_HEARD} heard=${2:?usage: see above}
. "$(dirname "$0")/lib.sh"
copy_app "$bin" && app="$work/app" && dir="$app"
[ "$(XDG_DATA_HOME="$work/xdg" "$app/piko" --where)" = "$(where_is "$app" "$app")" ] || fail "--where"
sig=TERM run_until "$app/piko"  # no my.dat: SIGTERM comes while the load error box is open
[ "$rc" = 0 ] && [ "$(wc -l < "$app/my.dat")" = 265 ] || fail "SIGTERM behind the load error box: $rc"
printf 'keep me\r\n' > "$app/my.dat"
SDL_AUDIODRIVER=no-such-driver "$app/piko" 2>"$work/err" &  # no driver of that name: no device
for _ in $(seq 1 200); do grep -q "No wave output devices available" "$work/err" && break; sleep 0.05; done
kill -TERM $! || fail "no sound device: piko did not wait for its fatal box"  # the signal ends it behind the box
rc=0 && wait $! || rc=$?
[ "$rc" = 1 ] && grep -q "No wave output devices" "$work/err" && [ "$(cat "$app/my.dat")" = $'keep me\r' ] ||
  fail "no sound device: exit code $rc: $(cat "$work/err")"
pet ﾋﾟｺ 4 6 12 12 10 0 500 0 > "$app/my.dat"  # living, contented, no words yet; no SOUNDMIX.INI: the defaults
line="hello piko $$"
start_x
# The disk driver at a sound card's pace; no session bus for anything to start a daemon on. Without a
# bus Qt 6.8's xcb start-up asks the desktop portal all the same, and the watcher of that call, whose
# answer never comes, is left for LeakSanitizer to find: there is no portal to ask here.
export SDL_AUDIODRIVER=disk QT_NO_XDG_DESKTOP_PORTAL=1 && unset SDL_DISKAUDIODELAY
SDL_DISKAUDIOFILE="$work/out.raw" "$app/piko" 2>"$work/err" &
pid=$! && window_of "$work/err"
expect() { env -u DISPLAY SDL_DISKAUDIOFILE="$work/helper.raw" "$heard" "$app" "$work/out.raw" 2.wav 4.wav; }
# Keys that went nowhere are typed again into an emptied box.
said= && for attempt in 1 2 3 4 5; do
  focus_talk_box
  xdotool key --clearmodifiers ctrl+a BackSpace && xdotool type --delay 30 "$line" && xdotool key Return
  for _ in $(seq 1 40); do expect >"$work/expect.out" && { said=$attempt; break 2; }; sleep 0.5; done
done
[ -n "$said" ] || fail "2.wav then 4.wav never heard: $(cat "$work/expect.out")"
kill -TERM $pid && rc=0 && wait $pid || rc=$?  # a piko already gone fails here too
[ "$rc" = 0 ] && expect >/dev/null || fail "SIGTERM: exit code $rc, or the stream lost the sounds: $(cat "$work/err")"
# The word count, then the first word.
[ "$(sed -n 9p "$app/my.dat" | tr -d '\r')" -ge 1 ] && [ "$(sed -n 10p "$app/my.dat" | tr -d '\r')" = "$line" ] ||
  fail "my.dat did not learn '$line': $(sed -n 9,10p "$app/my.dat")"
echo "ok (heard on attempt $said)"
