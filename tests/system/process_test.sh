#!/usr/bin/env bash
# The built piko as separate processes: a signal saves the pet (also behind the load error box), a second
# start leaves the first one's pet alone, a crash leaves no lock; `make install` for one user keeps the pet.
set -euo pipefail
build=${1:?usage: process_test.sh BUILD_DIR SOURCE_DIR} src=${2:?usage: process_test.sh BUILD_DIR SOURCE_DIR}
. "$(dirname "$0")/lib.sh"
copy_app "$build/bin" && dir="$work/app"
[ "$(XDG_DATA_HOME="$work/xdg" "$dir/piko" --where)" = "$(where_is "$dir" "$dir")" ] || fail "a build folder keeps all beside piko"
sig=TERM run_until "$dir/piko"  # no my.dat: SIGTERM comes while the load error box is open
[ "$rc" = 0 ] && [ "$(wc -l < "$dir/my.dat")" = 265 ] || fail "SIGTERM behind the load error box: $rc"

# A dead pet (nothing changes it while it runs) comes back byte for byte, in a new file each time: the
# save went through the temporary file and rename.
pet ﾎﾟﾁ 3 4 5 6 7 10 1234 1 ソ | tee "$work/expected" > "$dir/my.dat"
for sig in TERM HUP; do
  before=$(stat -c %i "$dir/my.dat")
  run_until "$dir/piko"
  [ "$rc" = 0 ] && cmp -s "$dir/my.dat" "$work/expected" && [ "$(stat -c %i "$dir/my.dat")" != "$before" ] ||
    fail "SIG$sig: exit code $rc, or my.dat changed or was not written again"
done
[ ! -e "$dir/my.dat.tmp" ] || fail "a temporary file was left behind"

"$dir/piko" 2>/dev/null & first=$!  # one pet, one program: the second start asks the first for its window and goes
wait_ready "$dir"
ino=$(stat -c %i "$dir/my.dat") && rc=0
timeout 20 "$dir/piko" 2>"$work/second" || rc=$?
[ "$rc" = 3 ] && grep -q "already open" "$work/second" && [ "$(stat -c %i "$dir/my.dat")" = "$ino" ] &&
  kill -TERM $first && wait $first && cmp -s "$dir/my.dat" "$work/expected" || fail "second start: $rc: $(cat "$work/second")"
sig=KILL run_until "$dir/piko"  # a crash leaves no lock behind: the kernel drops it with the process
sig=TERM run_until "$dir/piko"
[ "$rc" = 0 ] || fail "start after a crash: exit code $rc"

# Per-user install into XDG_DATA_HOME, with characters a desktop entry must quote, where an older
# install left its entry and icon under the old names; ~/.local/share when XDG_DATA_HOME is unset.
data="$work/my data \$HOME \"q\"" && mkdir -p "$data/applications" "$data/icons/hicolor/48x48/apps"
touch "$data/applications/piko.desktop" "$data/icons/hicolor/48x48/apps/piko.png"
inst() { HOME="$work/home" XDG_DATA_HOME="$data" "$src/tools/install.sh" "$@" >/dev/null; }
inst install "$build"
dir="$data/piko"
desktop="$data/applications/jp.example.piko.desktop"
exec=$(sed -n 's/^Exec=//p' "$desktop")  # unquoted as a desktop would
exec=${exec//\\\\/\\}; exec=${exec#\"}; exec=${exec%\"}
[ "$(printf '%s' "$exec" | sed 's/\\\(["`$\\]\)/\1/g')" = "$dir/piko" ] || fail "Exec runs $exec"
diff -r -x .stamp "$build/bin/cg" "$dir/cg" && desktop-file-validate "$desktop" && grep -qx 'Name=ピコ日記' "$desktop" &&
  grep -qx 'Icon=jp.example.piko' "$desktop" && [ ! -e "$data/applications/piko.desktop" ] &&
  [ ! -e "$data/icons/hicolor/48x48/apps/piko.png" ] || fail "cg/, or the menu entries and icons"
for s in 32 48 64 128 256; do  # a PNG's width and height follow its signature and header length
  [ "$(od -An -j16 -N8 -tx1 "$data/icons/hicolor/${s}x${s}/apps/jp.example.piko.png" | tr -d ' \n')" = "$(printf '%08x%08x' $s $s)" ] || fail "icon $s"; done
[ "$("$dir/piko" --where | head -1)" = "pet: $dir/" ] || fail "--where: $("$dir/piko" --where)"
sig=TERM run_until "$dir/piko"
[ "$rc" = 0 ] && cp "$dir/my.dat" "$work/pet" || fail "installed piko: exit code $rc, or no my.dat beside it"
cp "$dir/my.dat" "$dir/my.dat.bak"
inst install "$build" && inst uninstall  # an update, then away
[ ! -e "$dir/piko" ] && [ ! -e "$desktop" ] && [ -z "$(find "$data/icons" -name '*.png')" ] || fail "uninstall left files"
cmp -s "$dir/my.dat" "$work/pet" && cmp -s "$dir/my.dat.bak" "$work/pet" || fail "updating or uninstalling touched the pet"
env -u XDG_DATA_HOME HOME="$work/home" "$src/tools/install.sh" install "$build" >/dev/null && [ -x "$work/home/.local/share/piko/piko" ] ||
  fail "no install in ~/.local/share"
echo ok
