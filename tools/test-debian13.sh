#!/usr/bin/env bash
# `make test` on Debian 13 ("trixie") as a new user there runs it: a minimal
# debootstrap chroot, a clone of this checkout's HEAD in /root/piko, and the
# README's command run there as root, which installs its own packages with
# tools/install-deps.sh. Any arguments replace `make test` as the command.
#
# The bootstrapped base and the packages apt downloads stay in
# $PIKO_DEBIAN13_CACHE (/var/cache/piko-debian13) for the next run; each run
# works in a copy of the base, so every run starts as fresh as the first. The
# host's packages are left alone, debootstrap apart. Needs root.
#
# The mounts live in a mount namespace of our own (they die with it, whatever
# kills us) and are taken down by the trap too; the working copy is removed.
set -euo pipefail
src=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
cache=${PIKO_DEBIAN13_CACHE:-/var/cache/piko-debian13}
suite=trixie
# Bump when the base's recipe changes: an older base is then built again.
base="$cache/base-$suite-1"
say() { echo "test-debian13: $*" >&2; }

if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { say "needs root (debootstrap, chroot, mounts)"; exit 1; }
  exec sudo -E "$0" "$@"
fi
if [ -z "${PIKO_DEBIAN13_NS:-}" ]; then
  # unshare without --fork execs us in place: a signal to our pid reaches this very script.
  PIKO_DEBIAN13_NS=1 exec unshare --mount --propagation private "$0" "$@"
fi
[ $# -gt 0 ] || set -- make test

# The mirror the host's apt uses (deb822 or one-line sources), else Debian's own.
mirror=$(sed -n 's|^URIs:[[:space:]]*\([^[:space:]]*/debian\)/\{0,1\}[[:space:]]*$|\1|p' \
  /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
[ -n "$mirror" ] || mirror=$(sed -n 's|^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\{0,1\}\([^[:space:]]*/debian\)/\{0,1\}[[:space:]].*|\2|p' \
  /etc/apt/sources.list 2>/dev/null | head -n1)
: "${mirror:=http://deb.debian.org/debian}"

command -v debootstrap >/dev/null 2>&1 || "$src/tools/install-deps.sh" --extra debootstrap
mkdir -p "$cache/apt-archives/partial" "$cache/debootstrap-debs"
exec 9>"$cache/lock"
flock 9 || { say "cannot lock $cache/lock"; exit 1; }  # one run at a time on this machine

# Whatever a killed run left behind (its mounts died with its namespace).
for stale in "$cache"/build.* "$cache"/work.*; do
  [ -e "$stale" ] && rm -rf --one-file-system "$stale"
done

tmp= root= mounts=() child=
cleanup() {
  local rc=$? pid m i
  trap - EXIT INT TERM HUP
  [ -z "$child" ] || kill -TERM "$child" 2>/dev/null || true
  if [ -n "$root" ]; then
    # Every process still living in the chroot, Xvfb included.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null || true
    done
  fi
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    m=${mounts[i]}
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || say "could not unmount $m"
  done
  [ -z "$tmp" ] || rm -rf --one-file-system "$tmp"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

if [ ! -d "$base" ]; then
  say "bootstrapping Debian $suite from $mirror into $base (once per machine)"
  started=$SECONDS
  build=$(mktemp -d "$cache/build.XXXXXX")
  tmp=$build  # the trap removes a half-built base
  # make: what the README's commands start with. The rest comes from install-deps.sh, as for anyone.
  debootstrap --variant=minbase --include=make --cache-dir="$cache/debootstrap-debs" \
    "$suite" "$build/root" "$mirror" >"$build/debootstrap.log" 2>&1 ||
    { tail -n 30 "$build/debootstrap.log" >&2; say "debootstrap failed"; exit 1; }
  security=$(sed -n 's|^URIs:[[:space:]]*\([^[:space:]]*/debian-security\)/\{0,1\}[[:space:]]*$|\1|p' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1)
  : "${security:=http://deb.debian.org/debian-security}"
  printf 'deb %s %s main\ndeb %s %s-updates main\ndeb %s %s-security main\n' \
    "$mirror" "$suite" "$mirror" "$suite" "$security" "$suite" >"$build/root/etc/apt/sources.list"
  rm -rf "$build/root/var/cache/apt/archives"/*.deb "$build/root/var/lib/apt/lists"/*_*
  mv -T "$build/root" "$base"  # in place only once whole
  rm -rf "$build" && tmp=
  say "bootstrapped in $((SECONDS - started)) s"
fi

tmp=$(mktemp -d "$cache/work.XXXXXX")
root="$tmp/root"
cp -a "$base" "$root"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

mnt() {  # mnt TARGET mount-arguments...
  local target=$1 && shift
  mount "$@" "$target"
  mounts+=("$target")
}
mnt "$root/proc" -t proc proc
mnt "$root/sys" -t sysfs sysfs
mnt "$root/dev" --bind /dev
mnt "$root/dev/pts" --bind /dev/pts
mnt "$root/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev shm
mnt "$root/var/cache/apt/archives" --bind "$cache/apt-archives"

# A clone as CI has it: HEAD of this checkout (uncommitted changes are not in it).
[ -z "$(git -C "$src" status --porcelain --untracked-files=no)" ] ||
  say "uncommitted changes in $src are not tested"
git init -q -b main "$root/root/piko"
git -C "$root/root/piko" fetch -q "$src" HEAD
git -C "$root/root/piko" checkout -q -B main FETCH_HEAD
say "running '$*' in $(git -C "$src" rev-parse --short HEAD) on Debian $(cat "$root/etc/debian_version")"

chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  ${http_proxy:+http_proxy=$http_proxy} \
  sh -c 'cd /root/piko && exec "$@"' sh "$@" &
child=$!
rc=0 && wait "$child" || rc=$?
child=
exit "$rc"
