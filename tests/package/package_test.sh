#!/usr/bin/env bash
# The Debian package of this build: what it holds, lintian and the desktop's
# validators, and its program run from an extracted tree by two users (two
# HOMEs), each with a pet of their own, nothing written into the tree.
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR [SKIP_REASON]}" && pwd)
if [ -n "${2:-}" ]; then echo "skipped: $2"; exit 77; fi
. "$(dirname "$0")/../desktop/lib.sh"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || fail "$tool missing (tools/install-deps.sh installs it)"
done

work=$(mktemp -d)
trap 'cleanup "$work"' EXIT
umask 022

# Built from this build tree into a folder of our own.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/pkg/piko_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no piko_*.deb"
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' && dpkg-deb -f "$deb" Depends | grep -q 'libsdl2' ||
  fail "Depends does not name the shared libraries"
dpkg-deb -f "$deb" Recommends | grep -q 'fonts-ipafont-gothic' || fail "no Japanese font in Recommends"

# Every file under /usr, each where it belongs.
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/list"
id=jp.example.piko
for f in usr/games/piko usr/share/games/piko/cg/door.bmp usr/share/games/piko/cg/1.wav \
         usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
         usr/share/man/man6/piko.6.gz usr/share/doc/piko/copyright usr/share/doc/piko/changelog.gz; do
  grep -qx "\./$f" "$work/list" || fail "the package lacks /$f"
done
grep -v '^\./$' "$work/list" | grep -qv '^\./usr/' && fail "files outside /usr: $(grep -v '^\./usr/' "$work/list")"
# No maintainer scripts: upgrading, removing or purging never reaches a home folder.
dpkg-deb -e "$deb" "$work/control"
[ "$(ls "$work/control" | tr '\n' ' ')" = "control md5sums " ] ||
  fail "maintainer scripts in the package: $(ls "$work/control")"

lintian --fail-on error "$deb" >"$work/lintian" 2>"$work/lintian.err" ||
  { cat "$work/lintian" "$work/lintian.err"; fail "lintian found errors"; }
echo "lintian: $(cat "$work/lintian")"

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx "Exec=/usr/games/piko" "$root/usr/share/applications/$id.desktop" || fail "Exec"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/appstream" 2>&1 ||
  { cat "$work/appstream"; fail "appstreamcli validate"; }

# Nothing below may change while the program runs from it, as root or not.
snapshot() { find "$root" -printf '%p %s %m %T@\n' | sort; }
snapshot > "$work/tree-before"
piko="$root/usr/games/piko"
cg="$root/usr/share/games/piko/cg"
# A read moves an access time of long ago (also under relatime): the sounds
# every start loads and the dead pet's door must be read from the extracted tree.
# Skipped on a file system mounted without access times.
read_files="$cg/door.bmp $cg/1.wav $cg/7.wav"
touch -a -d @1 "$work/probe" $read_files
cat "$work/probe" >/dev/null
[ "$(stat -c %X "$work/probe")" != 1 ] && atimes=yes || atimes=

# The first user: no XDG_DATA_HOME, so ~/.local/share/piko/. Its pictures and
# sounds are in the extracted tree, found from the program.
home1="$work/home1"
mkdir -p "$home1"
pet1="$home1/.local/share/piko"
where=$(env -u XDG_DATA_HOME HOME="$home1" "$piko" --where)
[ "$where" = "$(printf 'pet: %s/\npictures and sounds: %s/cg/\nSOUNDMIX.INI: %s/SOUNDMIX.INI' \
                "$pet1" "$root/usr/share/games/piko" "$pet1")" ] || fail "--where: $where"
[ ! -e "$pet1" ] || fail "--where made the pet folder"

env -u XDG_DATA_HOME HOME="$home1" "$piko" 2>"$work/err1" &
first=$!
wait_ready "$pet1"
[ "$(stat -c %a "$pet1")" = 700 ] || fail "the pet folder is mode $(stat -c %a "$pet1"), not 700"
# The same user again: refused while the first runs.
rc=0
env -u XDG_DATA_HOME HOME="$home1" timeout 20 "$piko" 2>"$work/again" || rc=$?
[ "$rc" = 3 ] || fail "a second start of the same user: exit code $rc ($(cat "$work/again"))"

# Another user (another HOME, XDG_DATA_HOME set) runs beside the first with
# their own pet, a dead one (nothing changes it while it runs).
home2="$work/home2"
pet2="$home2/data/piko"
mkdir -p "$pet2"
printf 'ﾎﾟﾁ\r\n3\r\n4\r\n5\r\n6\r\n7\r\n10\r\n1234\r\n1\r\nソ\r\n' | iconv -f UTF-8 -t CP932 > "$work/head"
{ cat "$work/head"; for _ in $(seq 2 256); do printf '\r\n'; done; } > "$pet2/my.dat"
cp "$pet2/my.dat" "$work/pet2"
ino=$(stat -c %i "$pet2/my.dat")
HOME="$home2" XDG_DATA_HOME="$home2/data" "$piko" 2>"$work/err2" &
second=$!
wait_ready "$pet2"
stop_with $second TERM
[ "$rc" = 0 ] || fail "the second user's piko: exit code $rc ($(cat "$work/err2"))"
cmp -s "$pet2/my.dat" "$work/pet2" && [ "$(stat -c %i "$pet2/my.dat")" != "$ino" ] ||
  fail "SIGTERM did not save the second user's own pet back"
stop_with $first TERM
[ "$rc" = 0 ] || fail "the first user's piko: exit code $rc ($(cat "$work/err1"))"
[ -f "$pet1/my.dat" ] || fail "SIGTERM saved no my.dat into $pet1"
[ "$(tr -cd '\n' < "$pet1/my.dat" | wc -c)" = 265 ] || fail "my.dat does not have 265 lines"

snapshot > "$work/tree-after"
if [ -n "$atimes" ]; then
  for f in $read_files; do [ "$(stat -c %X "$f")" != 1 ] || fail "the program did not read $f"; done
else
  echo "no access times on $work: whether the pictures and sounds were read is not checked"
fi
diff "$work/tree-before" "$work/tree-after" >&2 || fail "the program wrote into the extracted tree"
# Each user's data folder holds their pet and its lock, nothing else.
written=$(cd "$work" && find home1/.local/share "home2/data" -type f | sort | tr '\n' ' ')
[ "$written" = "home1/.local/share/piko/my.dat home1/.local/share/piko/my.dat.lock home2/data/piko/my.dat home2/data/piko/my.dat.lock " ] ||
  fail "files written: $written"
echo "run as uid $(id -u): the extracted tree untouched, each pet in its own user's data folder"
echo ok
