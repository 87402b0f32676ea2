#!/usr/bin/env bash
# The Debian package of this build: what it holds, lintian and the desktop's
# validators, and its program run from an extracted tree by two users (two
# HOMEs), each with a pet of their own, nothing written into the tree.
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR [SKIP_REASON]}" && pwd)
if [ -n "${2:-}" ]; then echo "skipped: $2"; exit 77; fi
. "$(dirname "$0")/lib.sh"
for tool in cpack dpkg-deb lintian desktop-file-validate appstreamcli iconv; do
  command -v $tool >/dev/null || fail "$tool missing (tools/install-deps.sh installs it)"
done
umask 022
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(echo "$work"/pkg/piko_*.deb)
[ -f "$deb" ] || fail "cpack made no single piko_*.deb"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6.*libsdl2\|libsdl2.*libqt6widgets6' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Recommends | grep -q 'fonts-ipafont-gothic' || fail "no Japanese font in Recommends"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/list"
id=jp.example.piko
for f in usr/games/piko usr/share/games/piko/cg/door.bmp usr/share/games/piko/cg/1.wav usr/share/applications/$id.desktop \
         usr/share/metainfo/$id.metainfo.xml usr/share/icons/hicolor/256x256/apps/$id.png usr/share/man/man6/piko.6.gz \
         usr/share/doc/piko/copyright usr/share/doc/piko/changelog.gz; do
  grep -qx "\./$f" "$work/list" || fail "the package lacks /$f"
done
! grep -v '^\./$' "$work/list" | grep -qv '^\./usr/' || fail "files outside /usr"
# No maintainer scripts: upgrading, removing or purging never reaches a home folder.
dpkg-deb -e "$deb" "$work/control"
[ "$(ls "$work/control" | tr '\n' ' ')" = "control md5sums " ] || fail "maintainer scripts: $(ls "$work/control")"
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || fail "lintian: $(cat "$work/lintian")"
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/appstream" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream")"

# Nothing in the tree may change while the program runs from it, as root or not.
snapshot() { find "$root" -printf '%p %s %m %T@\n' | sort; }
snapshot > "$work/tree-before"
piko="$root/usr/games/piko"
# The first user: no XDG_DATA_HOME, so ~/.local/share/piko/, made for them alone.
pet1="$work/home1/.local/share/piko"
mkdir -p "$work/home1"
[ "$(env -u XDG_DATA_HOME HOME="$work/home1" "$piko" --where)" = "$(printf 'pet: %s/\npictures and sounds: %s/cg/\nSOUNDMIX.INI: %s/SOUNDMIX.INI' \
   "$pet1" "$root/usr/share/games/piko" "$pet1")" ] && [ ! -e "$pet1" ] || fail "--where, or it made the pet folder"
env -u XDG_DATA_HOME HOME="$work/home1" "$piko" 2>/dev/null &
first=$!
wait_ready "$pet1"
[ "$(stat -c %a "$pet1")" = 700 ] || fail "the pet folder is mode $(stat -c %a "$pet1")"
rc=0
env -u XDG_DATA_HOME HOME="$work/home1" timeout 20 "$piko" 2>/dev/null || rc=$?
[ "$rc" = 3 ] || fail "a second start of the same user: exit code $rc"
# Another user (XDG_DATA_HOME set) beside the first, with their own dead pet (nothing changes it).
pet2="$work/home2/data/piko"
mkdir -p "$pet2"
pet ﾎﾟﾁ 3 4 5 6 7 10 1234 1 ソ > "$pet2/my.dat"
cp "$pet2/my.dat" "$work/pet2"
ino=$(stat -c %i "$pet2/my.dat")
HOME="$work/home2" XDG_DATA_HOME="$work/home2/data" "$piko" 2>/dev/null &
wait_ready "$pet2"
stop_with $! TERM
[ "$rc" = 0 ] && cmp -s "$pet2/my.dat" "$work/pet2" && [ "$(stat -c %i "$pet2/my.dat")" != "$ino" ] ||
  fail "SIGTERM did not save the second user's own pet back (exit code $rc)"
stop_with $first TERM
[ "$rc" = 0 ] && [ "$(tr -cd '\n' < "$pet1/my.dat" | wc -l)" = 265 ] || fail "the first user's pet: exit code $rc"
snapshot | diff "$work/tree-before" - >&2 || fail "the program wrote into the extracted tree"
written=$(cd "$work" && find home1/.local/share home2/data -type f | sort | tr '\n' ' ')
[ "$written" = "home1/.local/share/piko/my.dat home1/.local/share/piko/my.dat.lock home2/data/piko/my.dat home2/data/piko/my.dat.lock " ] ||
  fail "files written: $written"
echo ok
