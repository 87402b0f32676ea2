#!/usr/bin/env bash
# The Debian package of this build: what it holds, lintian and the desktop's validators, and its program
# run from the extracted tree, the pet in the user's own folder, the tree untouched.
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR [SKIP_REASON]}" && pwd)
if [ -n "${2:-}" ]; then echo "skipped: $2"; exit 77; fi
. "$(dirname "$0")/lib.sh"
umask 022 && (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/log" 2>&1) ||
  fail "cpack: $(cat "$work/log")"
deb=$(echo "$work"/pkg/piko_*.deb) && id=jp.example.piko
dpkg-deb -f "$deb" Depends Recommends > "$work/depends"
grep -q 'libqt6widgets6' "$work/depends" && grep -q 'libsdl2' "$work/depends" &&
  grep -q 'fonts-ipafont-gothic' "$work/depends" || fail "Depends or Recommends: $(cat "$work/depends")"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/list"
for f in games/piko/cg/door.bmp games/piko/cg/1.wav man/man6/piko.6.gz icons/hicolor/256x256/apps/$id.png; do
  grep -qx "\./usr/share/$f" "$work/list" || fail "the package lacks /usr/share/$f"
done
! grep -v '^\./$' "$work/list" | grep -qv '^\./usr/' || fail "files outside /usr"
# No maintainer scripts: upgrading, removing or purging never reaches a home folder.
dpkg-deb -e "$deb" "$work/control" && [ "$(ls "$work/control")" = $'control\nmd5sums' ] || fail "maintainer scripts"
lintian --fail-on error "$deb" >"$work/log" 2>&1 || fail "lintian: $(cat "$work/log")"
root="$work/root" && dpkg-deb -x "$deb" "$root" && piko="$root/usr/games/piko"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/log" 2>&1 ||
  fail "appstreamcli: $(cat "$work/log")"

# No XDG_DATA_HOME: the pet in ~/.local/share/piko/, made for its user alone; the pictures and sounds
# are found in the tree, beside the program, and nothing in the tree changes.
find "$root" -printf '%p %s %m %T@\n' | sort > "$work/tree"
dir="$work/home1/.local/share/piko" && mkdir -p "$work/home1"
[ "$(env -u XDG_DATA_HOME HOME="$work/home1" "$piko" --where)" = "$(where_is "$dir" "$root/usr/share/games/piko")" ] &&
  [ ! -e "$dir" ] || fail "--where, or it made the pet folder"
sig=TERM run_until -u XDG_DATA_HOME HOME="$work/home1" "$piko"
[ "$rc" = 0 ] && [ "$(stat -c %a "$dir")" = 700 ] && [ "$(wc -l < "$dir/my.dat")" = 265 ] ||
  fail "exit code $rc, or the pet folder's mode, or no pet saved"
find "$root" -printf '%p %s %m %T@\n' | sort | diff "$work/tree" - >&2 ||
  fail "the program wrote into the extracted tree"
echo ok
