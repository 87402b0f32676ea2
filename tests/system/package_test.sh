#!/usr/bin/env bash
# The Debian package of this build: what it holds, lintian and the desktop's validators, and its program
# run from the extracted tree by two users (two HOMEs), each with a pet of their own, the tree untouched.
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR [SKIP_REASON]}" && pwd)
if [ -n "${2:-}" ]; then echo "skipped: $2"; exit 77; fi
. "$(dirname "$0")/lib.sh"
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli iconv; do command -v $tool >/dev/null || fail "$tool missing"; done
umask 022 && (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/log" 2>&1) || fail "cpack: $(cat "$work/log")"
deb=$(echo "$work"/pkg/piko_*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' && dpkg-deb -f "$deb" Depends | grep -q 'libsdl2' &&
  dpkg-deb -f "$deb" Recommends | grep -q 'fonts-ipafont-gothic' || fail "Depends or Recommends: $(dpkg-deb -f "$deb" Depends Recommends)"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/list" && id=jp.example.piko
for f in games/piko share/games/piko/cg/door.bmp share/games/piko/cg/1.wav share/applications/$id.desktop share/man/man6/piko.6.gz \
         share/metainfo/$id.metainfo.xml share/icons/hicolor/256x256/apps/$id.png share/doc/piko/copyright; do
  grep -qx "\./usr/$f" "$work/list" || fail "the package lacks /usr/$f"; done
! grep -v '^\./$' "$work/list" | grep -qv '^\./usr/' || fail "files outside /usr"
# No maintainer scripts: upgrading, removing or purging never reaches a home folder.
dpkg-deb -e "$deb" "$work/control" && [ "$(ls "$work/control" | tr '\n' ' ')" = "control md5sums " ] || fail "maintainer scripts"
lintian --fail-on error "$deb" >"$work/log" 2>&1 || fail "lintian: $(cat "$work/log")"
root="$work/root" && dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/log" 2>&1 || fail "appstreamcli: $(cat "$work/log")"

# The first user: no XDG_DATA_HOME, so ~/.local/share/piko/, made for them alone; the pictures and
# sounds are found in the tree, beside the program, and nothing in the tree changes.
find "$root" -printf '%p %s %m %T@\n' | sort > "$work/tree"
piko="$root/usr/games/piko" && dir="$work/home1/.local/share/piko" && mkdir -p "$work/home1"
[ "$(env -u XDG_DATA_HOME HOME="$work/home1" "$piko" --where)" = "$(where_is "$dir" "$root/usr/share/games/piko")" ] &&
  [ ! -e "$dir" ] || fail "--where, or it made the pet folder"
env -u XDG_DATA_HOME HOME="$work/home1" "$piko" 2>/dev/null & first=$!
wait_ready "$dir"
rc=0 && env -u XDG_DATA_HOME HOME="$work/home1" timeout 20 "$piko" 2>/dev/null || rc=$?
[ "$rc" = 3 ] && [ "$(stat -c %a "$dir")" = 700 ] || fail "a second start of the same user: exit code $rc, or pet folder mode"
# Another user (XDG_DATA_HOME set) beside the first, with their own dead pet (nothing changes it).
dir="$work/home2/data/piko" && mkdir -p "$dir"
pet ﾎﾟﾁ 3 4 5 6 7 10 1234 1 ソ | tee "$work/pet2" > "$dir/my.dat"
ino=$(stat -c %i "$dir/my.dat")
sig=TERM run_until HOME="$work/home2" XDG_DATA_HOME="$work/home2/data" "$piko"
[ "$rc" = 0 ] && cmp -s "$dir/my.dat" "$work/pet2" && [ "$(stat -c %i "$dir/my.dat")" != "$ino" ] ||
  fail "SIGTERM did not save the second user's own pet back (exit code $rc)"
kill -TERM $first && wait $first && [ "$(wc -l < "$work/home1/.local/share/piko/my.dat")" = 265 ] ||
  fail "SIGTERM did not save the first user's pet"
find "$root" -printf '%p %s %m %T@\n' | sort | diff "$work/tree" - >&2 || fail "the program wrote into the extracted tree"
[ "$(cd "$work" && find home1 home2 -type f | sort | tr '\n' ' ')" = "home1/.local/share/piko/my.dat home1/.local/share/piko/my.dat.lock \
home2/data/piko/my.dat home2/data/piko/my.dat.lock " ] || fail "files written: $(cd "$work" && find home1 home2 -type f)"
echo ok
