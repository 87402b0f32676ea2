#!/usr/bin/env bash
# The program as a user meets it, measured under a private virtual X server
# with silent sound: time from exec to the main window being mapped, CPU
# while a living pet idles, and resident memory.
#
#   tools/measure.sh [BUILD_DIR] [OUT_DIR]      (make bench runs it)
#
# STARTS (default 5) start-ups are timed, the median and the fastest are
# reported; the last one then idles for IDLE_SECONDS (default 60). The
# program runs from a copy in a temporary folder with a my.dat of its own,
# so the build's pet and lock are never touched.
set -euo pipefail

build=${1:-build}
out=${2:-$build/bench-results}
STARTS=${STARTS:-5}
IDLE_SECONDS=${IDLE_SECONDS:-60}

if [ "${1:-}" != --inner ]; then
  exe=$build/bin/piko
  [ -x "$exe" ] || { echo "no $exe: build first" >&2; exit 1; }
  for tool in xvfb-run xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (make deps)" >&2; exit 1; }
  done
  mkdir -p "$out"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$exe" "$work/piko"
  cp -r "$build/bin/cg" "$work/cg"
  STARTS=$STARTS IDLE_SECONDS=$IDLE_SECONDS SDL_AUDIODRIVER=dummy \
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --inner "$work" "$(cd "$out" && pwd)/measure.txt"
  cat "$out/measure.txt"
  exit 0
fi

work=$2
result=$3
exe=$work/piko
ticks=$(getconf CLK_TCK)

# A healthy pet, well fed, awake, with a full vocabulary: nothing it does in
# a minute ends in a message box.
write_pet() {
  {
    printf '\x83\x73\x83\x52\r\n'        # ピコ
    printf '%s\r\n' 3 10 10 15 12 0 500 256
    for i in $(seq 0 255); do printf '\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd %d\r\n' "$i"; done  # こんにちは n
  } >"$work/my.dat"
}

now_ns() { date +%s%N; }

# Exec to the first mapped window of that process: milliseconds in $ms, the program left running as $pid.
time_start() {
  local t0 t1
  t0=$(now_ns)
  "$exe" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "piko ended before showing a window" >&2; exit 1; }
  done
  t1=$(now_ns)
  ms=$(( (t1 - t0) / 1000000 ))
}

stop() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }

write_pet
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
times=()
for i in $(seq 1 "$STARTS"); do
  time_start
  times+=("$ms")
  if [ "$i" -lt "$STARTS" ]; then stop; fi
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
fastest=$(echo "$sorted" | head -1)
rss_start=$(status_kb "$pid" VmRSS)
# Which window counted: the main window is 412 x 262 at scale 1.
window=$(xdotool search --onlyvisible --pid "$pid" | head -1)
geometry=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')

sleep 5  # past the first paint and the first timer rounds
c0=$(cpu_ticks "$pid")
t0=$(now_ns)
sleep "$IDLE_SECONDS"
c1=$(cpu_ticks "$pid")
t1=$(now_ns)
kill -0 "$pid" 2>/dev/null || { echo "piko ended while idling" >&2; exit 1; }
cpu=$(awk -v c=$((c1 - c0)) -v hz="$ticks" -v ns=$((t1 - t0)) 'BEGIN { printf "%.2f", 100 * (c / hz) / (ns / 1e9) }')
rss=$(status_kb "$pid" VmRSS)
hwm=$(status_kb "$pid" VmHWM)
stop

{
  echo "load_average_before=$load_before (other work on the machine slows start-up first)"
  echo "startup_ms_median=$median"
  echo "startup_ms_fastest=$fastest"
  echo "startup_ms_all=${times[*]}"
  echo "first_window=$geometry"
  echo "idle_seconds=$IDLE_SECONDS"
  echo "idle_cpu_ticks=$((c1 - c0)) (CLK_TCK $ticks)"
  echo "idle_cpu_percent_of_one_core=$cpu"
  echo "idle_cpu_under_one_percent=$(awk -v c="$cpu" 'BEGIN { print (c < 1 ? "yes" : "no") }')"
  echo "rss_kb_after_start=$rss_start"
  echo "rss_kb_after_idle=$rss"
  echo "hwm_kb=$hwm"
} >"$result"
