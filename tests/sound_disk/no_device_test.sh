#!/usr/bin/env bash
# The real piko where SDL finds no sound device: the fatal box with the
# mixer's message, exit code 1, my.dat as it was.
set -euo pipefail
bin=${1:?usage: no_device_test.sh BUILD_BIN_DIR}
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill -KILL $pid 2>/dev/null || true; rm -rf "$work"' EXIT
pid=
mkdir -p "$work/app"
cp "$bin/piko" "$work/app/"
cp -r "$bin/cg" "$work/app/cg"
printf 'keep me\r\n' > "$work/app/my.dat"
cp "$work/app/my.dat" "$work/expected"

# No driver of that name: SDL's audio does not start, so there is no device.
SDL_AUDIODRIVER=no-such-driver "$work/app/piko" 2>"$work/err" &
pid=$!
for _ in $(seq 1 200); do
  grep -q "No wave output devices available" "$work/err" && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.05
done
grep -q "No wave output devices available" "$work/err" || fail "no message: $(cat "$work/err")"
# The fatal box waits for the user; the stop signal ends the program behind it.
kill -0 $pid 2>/dev/null || fail "piko ended before its box was answered"
kill -TERM $pid
rc=0
wait $pid || rc=$?
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
cmp -s "$work/app/my.dat" "$work/expected" || fail "my.dat changed"
echo ok
