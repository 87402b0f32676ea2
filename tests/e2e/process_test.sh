#!/usr/bin/env bash
# The built piko in a copy of its folder: a signal saves the pet, and a second
# start leaves the first one's my.dat alone.
set -euo pipefail
bin=${1:?usage: process_test.sh BUILD_BIN_DIR}
. "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'cleanup "$work"' EXIT
app="$work/app"
mkdir -p "$app"
cp "$bin/piko" "$app/"
cp -r "$bin/cg" "$app/cg"

# A build folder keeps everything beside the program, whatever XDG_DATA_HOME says.
where=$(XDG_DATA_HOME="$work/xdg" "$app/piko" --where)
[ "$where" = "$(printf 'pet: %s/\npictures and sounds: %s/cg/\nSOUNDMIX.INI: %s/SOUNDMIX.INI' "$app" "$app" "$app")" ] ||
  fail "--where in a build folder: $where"

# No my.dat: the load error box is open when SIGTERM comes; the pet is saved anyway.
"$app/piko" 2>"$work/err1" &
pid=$!
wait_ready "$app"
stop_with $pid TERM
[ "$rc" = 0 ] || fail "SIGTERM behind the load error box: exit code $rc"
[ -f "$app/my.dat" ] || fail "SIGTERM did not create my.dat"
[ "$(tr -cd '\n' < "$app/my.dat" | wc -c)" = 265 ] || fail "my.dat does not have 265 lines"

# A dead pet (nothing changes it while it runs) comes back byte for byte, in a
# new file: the save really happened, through the temporary file and rename.
printf 'ﾎﾟﾁ\r\n3\r\n4\r\n5\r\n6\r\n7\r\n10\r\n1234\r\n1\r\nソ\r\n' | iconv -f UTF-8 -t CP932 > "$app/my.dat.head"
{ cat "$app/my.dat.head"; for _ in $(seq 2 256); do printf '\r\n'; done; } > "$app/my.dat"
rm "$app/my.dat.head"
cp "$app/my.dat" "$work/expected"
before=$(stat -c %i "$app/my.dat")
for sig in TERM HUP; do
  "$app/piko" 2>"$work/err2" &
  pid=$!
  wait_ready "$app"
  stop_with $pid $sig
  [ "$rc" = 0 ] || fail "SIG$sig: exit code $rc"
  cmp -s "$app/my.dat" "$work/expected" || fail "SIG$sig: my.dat changed"
  after=$(stat -c %i "$app/my.dat")
  [ "$after" != "$before" ] || fail "SIG$sig: my.dat was not written again"
  before=$after
done
[ ! -e "$app/my.dat.tmp" ] || fail "a temporary file was left behind"

# One pet, one program: the second start asks the first for its window and
# goes without touching my.dat; the first saves as usual afterwards.
"$app/piko" 2>"$work/first" &
first=$!
wait_ready "$app"
ino=$(stat -c %i "$app/my.dat")
rc=0
timeout 20 "$app/piko" 2>"$work/second" || rc=$?
[ "$rc" = 3 ] || fail "second start: exit code $rc, expected 3 ($(cat "$work/second"))"
grep -q "already open" "$work/second" || fail "second start did not say why it stopped"
kill -0 $first 2>/dev/null || fail "the first piko died"
[ "$(stat -c %i "$app/my.dat")" = "$ino" ] || fail "the second start wrote my.dat"
stop_with $first TERM
[ "$rc" = 0 ] || fail "first piko: exit code $rc"
cmp -s "$app/my.dat" "$work/expected" || fail "my.dat changed"

# A crash leaves no lock behind: the kernel drops it with the process.
"$app/piko" 2>/dev/null &
pid=$!
wait_ready "$app"
stop_with $pid KILL
"$app/piko" 2>/dev/null &
pid=$!
wait_ready "$app"
stop_with $pid TERM
[ "$rc" = 0 ] || fail "start after a crash: exit code $rc"
echo "ok"
