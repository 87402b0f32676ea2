#!/usr/bin/env bash
# `make install` for one user, into an XDG_DATA_HOME a desktop entry must quote, over an older install's
# names: the menu entry runs it, a crash leaves no lock, an update and the uninstall keep the pet.
set -euo pipefail
build=${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR} src=${2:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
. "$(dirname "$0")/lib.sh"
data="$work/my data \$HOME \"q\"" && mkdir -p "$data/applications" "$data/icons/hicolor/48x48/apps"
touch "$data/applications/piko.desktop" "$data/icons/hicolor/48x48/apps/piko.png"
inst() { HOME="$work/home" XDG_DATA_HOME="$data" "$src/tools/install.sh" "$@" >/dev/null; }
inst install "$build"
dir="$data/piko" desktop="$data/applications/jp.example.piko.desktop"
exec=$(sed -n 's/^Exec=//p' "$desktop")  # unquoted as a desktop would
exec=${exec//\\\\/\\}; exec=${exec#\"}; exec=${exec%\"}
[ "$(printf '%s' "$exec" | sed 's/\\\(["`$\\]\)/\1/g')" = "$dir/piko" ] || fail "Exec runs $exec"
diff -r -x .stamp "$build/bin/cg" "$dir/cg" && desktop-file-validate "$desktop" &&
  [ -s "$data/icons/hicolor/48x48/apps/jp.example.piko.png" ] && [ ! -e "$data/applications/piko.desktop" ] &&
  [ ! -e "$data/icons/hicolor/48x48/apps/piko.png" ] || fail "cg/, or the menu entries and icons"
sig=KILL run_until "$dir/piko"  # a crash leaves no lock behind: the kernel drops it with the process
sig=TERM run_until "$dir/piko"
[ "$rc" = 0 ] && cp "$dir/my.dat" "$work/pet" && cp "$dir/my.dat" "$dir/my.dat.bak" ||
  fail "installed piko after a crash: exit code $rc, or no my.dat beside it"
inst install "$build" && inst uninstall  # an update, then away
[ ! -e "$dir/piko" ] && [ ! -e "$desktop" ] && [ -z "$(find "$data/icons" -name '*.png')" ] || fail "uninstall left files"
cmp -s "$dir/my.dat" "$work/pet" && cmp -s "$dir/my.dat.bak" "$work/pet" || fail "updating or uninstalling touched the pet"
env -u XDG_DATA_HOME HOME="$work/home" "$src/tools/install.sh" install "$build" >/dev/null &&
  [ -x "$work/home/.local/share/piko/piko" ] || fail "no install in ~/.local/share"
echo ok
