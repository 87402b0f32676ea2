#!/usr/bin/env bash
# The real piko ended by SIGKILL (a crash, the OOM killer, a frozen desktop): a line taught 3 s before is in
# my.dat, and a pet left alone for 70 s has a my.dat written within the last minute. A my.dat not read
# whole (LF line ends, an early 0x1A) is kept as my.dat.bak, byte for byte, by the first save.
set -euo pipefail
bin=${1:?usage: checkpoint_test.sh BUILD_BIN_DIR}
. "$(dirname "$0")/lib.sh"
copy_app "$bin"
# A folder of its own with the living pet whose my.dat lines are the arguments.
room() { rm -rf "$work/$1" && mkdir -p "$work/$1" && cp -r "$work/app/piko" "$work/app/cg" "$work/$1/" && shift && pet "$@"; }
room alone ﾋﾟｺ 4 6 12 12 30 0 500 0 > "$work/alone.dat" && cp "$work/alone.dat" "$work/alone/my.dat"
"$work/alone/piko" 2>/dev/null &  # headless, beside the rest
alone=$! && started=$(date +%s)
for kind in lf sub; do
  dir="$work/$kind" && room "$kind" ﾋﾟｺ 4 6 12 12 10 0 500 1 hello > "$work/$kind.dat"
  [ $kind = lf ] && tr -d '\r' < "$work/$kind.dat" > "$dir/my.dat" || { printf 'p\r\n4\r\n\x1a'; cat "$work/$kind.dat"; } > "$dir/my.dat"
  cp "$dir/my.dat" "$work/$kind.orig" && sig=TERM run_until "$dir/piko"
  [ "$rc" = 0 ] && cmp -s "$dir/my.dat.bak" "$work/$kind.orig" && [ "$(tr -cd '\r' < "$dir/my.dat" | wc -c)" = 265 ] ||
    fail "$kind: my.dat.bak is not the file as it was (exit $rc)"
done
start_x
# Keys that go nowhere (no window manager gives the focus) make a new attempt; a lost checkpoint fails them all.
line="taught $$" taught= && for attempt in 1 2 3; do
  room talk ﾋﾟｺ 4 6 12 12 30 0 500 0 > "$work/talk.dat" && cp "$work/talk.dat" "$work/talk/my.dat"
  "$work/talk/piko" 2>"$work/err" &
  pid=$! && window_of "$work/err" && focus_talk_box
  xdotool type --delay 30 "$line" && xdotool key Return && sleep 3
  kill -KILL $pid && { wait $pid || true; }
  [ "$(sed -n 10p "$work/talk/my.dat" | tr -d '\r')" = "$line" ] && taught=$attempt && break
done
[ -n "$taught" ] || fail "SIGKILL 3 s after teaching '$line': my.dat has $(sed -n 9,10p "$work/talk/my.dat")"
sleep $((started + 70 - $(date +%s) > 0 ? started + 70 - $(date +%s) : 0))
kill -KILL $alone && { wait $alone || true; }
age=$(($(date +%s) - $(stat -c %Y "$work/alone/my.dat")))
! cmp -s "$work/alone/my.dat" "$work/alone.dat" && [ "$age" -le 60 ] && [ "$(wc -l < "$work/alone/my.dat")" = 265 ] ||
  fail "SIGKILL after 70 s alone: my.dat written $age s before, or never"
echo "ok (taught on attempt $taught; the lone pet's my.dat was $age s old)"
