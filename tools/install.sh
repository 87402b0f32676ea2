#!/usr/bin/env bash
# Installs ピコ日記 for the current user, no root needed:
#   ${XDG_DATA_HOME:-~/.local/share}/piko/          the program folder: piko, cg/ (and later my.dat)
#   ${XDG_DATA_HOME:-~/.local/share}/applications/jp.example.piko.desktop
#   ${XDG_DATA_HOME:-~/.local/share}/icons/hicolor/<size>/apps/jp.example.piko.png
# The entry and icon have the package's names: when both are installed, the
# user's own entry hides the package's, so the menu shows one ピコ日記.
# usage: install.sh install BUILD_DIR | install.sh uninstall
# Uninstalling never removes the pet: my.dat and my.dat.bak stay where they are.
set -euo pipefail

data=${XDG_DATA_HOME:-}
[ -n "$data" ] || data="${HOME:?HOME is not set}/.local/share"
prog="$data/piko"
id=jp.example.piko
desktop="$data/applications/$id.desktop"
icons="$data/icons/hicolor"
here=$(cd "$(dirname "$0")" && pwd)

# A desktop entry's Exec needs the path quoted, with \ " ` $ escaped inside
# the quotes, and every \ escaped once more as a string value.
exec_field() {
  local s=$1
  s=${s//\\/\\\\}; s=${s//\"/\\\"}; s=${s//\`/\\\`}; s=${s//\$/\\\$}
  s="\"$s\""
  printf '%s' "${s//\\/\\\\}"
}
# TryExec is a plain string value: only \ is escaped.
string_field() { local s=$1; printf '%s' "${s//\\/\\\\}"; }

# What older installs named piko.desktop and piko.png.
remove_old_names() {
  rm -f "$data/applications/piko.desktop"
  for f in "$icons"/*/apps/piko.png; do [ -e "$f" ] && rm -f "$f"; done
  return 0
}

refresh_caches() {
  command -v update-desktop-database >/dev/null 2>&1 && update-desktop-database -q "$data/applications" 2>/dev/null || true
  command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$icons/index.theme" ] &&
    gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
}

case "${1:-}" in
install)
  build=${2:?usage: install.sh install BUILD_DIR}
  [ -x "$build/bin/piko" ] && [ -d "$build/bin/cg" ] && [ -d "$build/icons/hicolor" ] ||
    { echo "install.sh: build first (make build)" >&2; exit 1; }
  mkdir -p "$prog/cg" "$(dirname "$desktop")"
  # Copied under a new name and renamed: replacing a running piko in place would fail.
  cp "$build/bin/piko" "$prog/piko.new"
  chmod 755 "$prog/piko.new"
  mv -f "$prog/piko.new" "$prog/piko"
  rm -rf "$prog/cg.new"
  cp -r "$build/bin/cg" "$prog/cg.new"
  rm -f "$prog/cg.new/.stamp"
  rm -rf "$prog/cg"
  mv "$prog/cg.new" "$prog/cg"
  remove_old_names
  (cd "$build/icons/hicolor" && find . -name "$id.png") | while read -r f; do
    mkdir -p "$icons/$(dirname "$f")"
    cp "$build/icons/hicolor/$f" "$icons/$f"
  done
  sed -e "s|@EXEC@|$(exec_field "$prog/piko" | sed 's/[|&\\]/\\&/g')|" \
      -e "s|@TRYEXEC@|$(string_field "$prog/piko" | sed 's/[|&\\]/\\&/g')|" \
      "$here/$id.desktop.in" > "$desktop.new"
  mv -f "$desktop.new" "$desktop"
  refresh_caches
  echo "ピコ日記 installed in $prog"
  ;;
uninstall)
  rm -f "$prog/piko" "$prog/piko.new" "$prog/my.dat.lock" "$prog/my.dat.tmp" "$desktop"
  rm -rf "$prog/cg" "$prog/cg.new"
  for f in "$icons"/*/apps/"$id.png"; do [ -e "$f" ] && rm -f "$f"; done
  remove_old_names
  if [ -e "$prog/my.dat" ] || [ -e "$prog/my.dat.bak" ]; then
    echo "ピコ日記 removed; your pet stays in $prog (my.dat)"
  else
    rmdir "$prog" 2>/dev/null || true
    echo "ピコ日記 removed"
  fi
  refresh_caches
  ;;
*)
  echo "usage: install.sh install BUILD_DIR | install.sh uninstall" >&2
  exit 2
  ;;
esac
