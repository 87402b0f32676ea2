#!/usr/bin/env bash
# The built piko as separate processes: a signal saves the pet (also behind
# the load error box), a second start leaves the first one's pet alone, a
# crash leaves no lock behind; and `make install` for one user, into a
# temporary HOME, with its menu entry and icons, keeping the pet.
set -euo pipefail
build=${1:?usage: process_test.sh BUILD_DIR SOURCE_DIR}
src=${2:?usage: process_test.sh BUILD_DIR SOURCE_DIR}
. "$(dirname "$0")/lib.sh"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (desktop-file-utils)"
copy_app "$build/bin"
app="$work/app"

# A build folder keeps everything beside the program, whatever XDG_DATA_HOME says.
[ "$(XDG_DATA_HOME="$work/xdg" "$app/piko" --where)" = "$(printf 'pet: %s/\npictures and sounds: %s/cg/\nSOUNDMIX.INI: %s/SOUNDMIX.INI' "$app" "$app" "$app")" ] ||
  fail "--where in a build folder: $("$app/piko" --where)"
# No my.dat: the load error box is open when SIGTERM comes; the pet is saved anyway.
"$app/piko" 2>/dev/null &
wait_ready "$app"
stop_with $! TERM
[ "$rc" = 0 ] && [ "$(tr -cd '\n' < "$app/my.dat" | wc -l)" = 265 ] || fail "SIGTERM behind the load error box: $rc"

# A dead pet (nothing changes it while it runs) comes back byte for byte, in
# a new file each time: the save went through the temporary file and rename.
pet ﾎﾟﾁ 3 4 5 6 7 10 1234 1 ソ > "$work/expected"
cp "$work/expected" "$app/my.dat"
for sig in TERM HUP; do
  before=$(stat -c %i "$app/my.dat")
  "$app/piko" 2>/dev/null &
  wait_ready "$app"
  stop_with $! $sig
  [ "$rc" = 0 ] && cmp -s "$app/my.dat" "$work/expected" && [ "$(stat -c %i "$app/my.dat")" != "$before" ] ||
    fail "SIG$sig: exit code $rc, or my.dat changed or not written again"
done
[ ! -e "$app/my.dat.tmp" ] || fail "a temporary file was left behind"

# One pet, one program: the second start asks the first for its window and goes.
"$app/piko" 2>/dev/null &
first=$!
wait_ready "$app"
ino=$(stat -c %i "$app/my.dat")
rc=0
timeout 20 "$app/piko" 2>"$work/second" || rc=$?
[ "$rc" = 3 ] && grep -q "already open" "$work/second" || fail "second start: exit code $rc: $(cat "$work/second")"
kill -0 $first && [ "$(stat -c %i "$app/my.dat")" = "$ino" ] || fail "the second start killed the first or wrote my.dat"
stop_with $first TERM
[ "$rc" = 0 ] && cmp -s "$app/my.dat" "$work/expected" || fail "first piko: exit code $rc or my.dat changed"
# A crash leaves no lock behind: the kernel drops it with the process.
"$app/piko" 2>/dev/null &
wait_ready "$app"
stop_with $! KILL
"$app/piko" 2>/dev/null &
wait_ready "$app"
stop_with $! TERM
[ "$rc" = 0 ] || fail "start after a crash: exit code $rc"

# Per-user install: the program folder, the menu entry and its icons, where
# an older install left its entry and icon under the old names.
home="$work/home"
data="$home/.local/share"
mkdir -p "$data/applications" "$data/icons/hicolor/48x48/apps"
touch "$data/applications/piko.desktop" "$data/icons/hicolor/48x48/apps/piko.png"
install() { env -u XDG_DATA_HOME HOME="$home" "$src/tools/install.sh" "$@" >/dev/null; }
install install "$build"
prog="$data/piko"
desktop="$data/applications/jp.example.piko.desktop"
diff -r -x .stamp "$build/bin/cg" "$prog/cg" && desktop-file-validate "$desktop" || fail "cg/ or the menu entry"
grep -qx "Exec=\"$prog/piko\"" "$desktop" && grep -qx 'Name=ピコ日記' "$desktop" && grep -qx 'Icon=jp.example.piko' "$desktop" ||
  fail "the menu entry: $(cat "$desktop")"
for s in 32 48 64 128 256; do
  # A PNG's width and height, big-endian after its signature and header length.
  [ "$(od -An -j16 -N8 -tx1 "$data/icons/hicolor/${s}x${s}/apps/jp.example.piko.png" | tr -d ' \n')" = "$(printf '%08x%08x' $s $s)" ] ||
    fail "icon $s"
done
[ ! -e "$data/applications/piko.desktop" ] && [ ! -e "$data/icons/hicolor/48x48/apps/piko.png" ] || fail "two menu entries"
[ "$("$prog/piko" --where | head -1)" = "pet: $prog/" ] || fail "--where: $("$prog/piko" --where)"
"$prog/piko" 2>/dev/null &
wait_ready "$prog"
stop_with $! TERM
[ "$rc" = 0 ] && [ -f "$prog/my.dat" ] || fail "installed piko: exit code $rc, or no my.dat beside it"
cp "$prog/my.dat" "$work/pet"
install install "$build"  # an update keeps the pet
install uninstall
[ ! -e "$prog/piko" ] && [ ! -e "$desktop" ] && [ -z "$(find "$data/icons" -name '*.png')" ] || fail "uninstall left files"
cmp -s "$prog/my.dat" "$work/pet" || fail "reinstalling or uninstalling touched my.dat"
# XDG_DATA_HOME is honoured, with characters a desktop entry must quote: the
# Exec line, unquoted as a desktop would, names the installed program.
data="$work/my data \$HOME \"q\""
HOME="$home" XDG_DATA_HOME="$data" "$src/tools/install.sh" install "$build" >/dev/null
exec=$(sed -n 's/^Exec=//p' "$data/applications/jp.example.piko.desktop")
exec=${exec//\\\\/\\}; exec=${exec#\"}; exec=${exec%\"}
[ "$(printf '%s' "$exec" | sed 's/\\\(["`$\\]\)/\1/g')" = "$data/piko/piko" ] || fail "Exec runs $exec"
echo ok
