#!/usr/bin/env bash
# `make install` for one user, into a temporary HOME: the program folder, the
# menu entry and the icons; the installed program starts and saves its pet
# beside itself; uninstalling keeps the pet.
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
src=${2:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
. "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'cleanup "$work"' EXIT
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (desktop-file-utils)"

# A PNG's width x height, from its header.
png_size() {
  [ -f "$1" ] && [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 0
  local w h
  read -r w h < <(od -An -j16 -N8 -tu1 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  echo "${w}x${h}"
}

check_install() {
  local data=$1 prog="$1/piko"
  [ -x "$prog/piko" ] || fail "no piko in $prog"
  for f in "$build/bin/cg"/*; do
    cmp -s "$f" "$prog/cg/$(basename "$f")" || fail "cg/$(basename "$f") not installed"
  done
  local desktop="$data/applications/jp.example.piko.desktop"
  [ -f "$desktop" ] || fail "no menu entry"
  desktop-file-validate "$desktop" || fail "desktop-file-validate refused $desktop"
  grep -qx 'Name=ピコ日記' "$desktop" || fail "Name"
  grep -qx 'Icon=jp.example.piko' "$desktop" || fail "Icon"
  grep -qx 'Categories=Game;Simulation;' "$desktop" || fail "Categories"
  grep -q '^Comment\[ja\]=' "$desktop" && grep -q '^Comment=' "$desktop" || fail "Comments"
  # The Exec line, unquoted as a desktop would, names the installed program.
  local exec
  exec=$(sed -n 's/^Exec=//p' "$desktop")
  exec=${exec//\\\\/\\}
  exec=${exec#\"}; exec=${exec%\"}
  exec=$(printf '%s' "$exec" | sed 's/\\\(["`$\\]\)/\1/g')
  [ "$exec" = "$prog/piko" ] || fail "Exec runs '$exec', not '$prog/piko'"
  for s in 32 48 64 128 256; do
    local icon="$data/icons/hicolor/${s}x${s}/apps/jp.example.piko.png"
    [ "$(png_size "$icon")" = "${s}x${s}" ] || fail "icon $icon"
  done
}

# The default place: ~/.local/share, with XDG_DATA_HOME unset, where an older
# install left its entry and icon under the old names.
home="$work/home"
mkdir -p "$home/.local/share/applications" "$home/.local/share/icons/hicolor/48x48/apps"
touch "$home/.local/share/applications/piko.desktop" "$home/.local/share/icons/hicolor/48x48/apps/piko.png"
env -u XDG_DATA_HOME HOME="$home" "$src/tools/install.sh" install "$build" >/dev/null
data="$home/.local/share"
check_install "$data"
[ ! -e "$data/applications/piko.desktop" ] && [ ! -e "$data/icons/hicolor/48x48/apps/piko.png" ] ||
  fail "the old-named entry or icon is still there: two menu entries"
prog="$data/piko"

# The installed program writes its pet beside itself, and says so.
[ "$("$prog/piko" --where | head -1)" = "pet: $prog/" ] || fail "--where: $("$prog/piko" --where)"
"$prog/piko" 2>/dev/null &
pid=$!
wait_ready "$prog"
stop_with $pid TERM
[ "$rc" = 0 ] || fail "installed piko: exit code $rc"
[ -f "$prog/my.dat" ] || fail "no my.dat beside the installed piko"
printf 'old' > "$prog/my.dat.bak"
cp "$prog/my.dat" "$work/pet"

# Installing again (an update) keeps the pet.
env -u XDG_DATA_HOME HOME="$home" "$src/tools/install.sh" install "$build" >/dev/null
cmp -s "$prog/my.dat" "$work/pet" || fail "reinstalling touched my.dat"

env -u XDG_DATA_HOME HOME="$home" "$src/tools/install.sh" uninstall >/dev/null
[ ! -e "$prog/piko" ] && [ ! -e "$prog/cg" ] || fail "uninstall left the program"
[ ! -e "$data/applications/jp.example.piko.desktop" ] || fail "uninstall left the menu entry"
[ -z "$(find "$data/icons" -name '*.png')" ] || fail "uninstall left an icon"
cmp -s "$prog/my.dat" "$work/pet" || fail "uninstall removed or changed my.dat"
[ "$(cat "$prog/my.dat.bak")" = old ] || fail "uninstall removed my.dat.bak"

# XDG_DATA_HOME is honoured, also with characters a desktop entry must quote.
data="$work/my data \$HOME \"q\""
HOME="$home" XDG_DATA_HOME="$data" "$src/tools/install.sh" install "$build" >/dev/null
check_install "$data"
HOME="$home" XDG_DATA_HOME="$data" "$src/tools/install.sh" uninstall >/dev/null
[ ! -e "$data/piko" ] || fail "uninstall without a pet left the program folder"

# The real home is never touched by this test: nothing above used it.
echo ok
