#!/usr/bin/env bash
# Starts the pet from the build tree. On a machine without a display it runs
# under a virtual X server; without a sound device it falls back to SDL's
# silent driver so that the pet can still be played.
set -u
exe=${1:?usage: run-piko.sh PATH_TO_PIKO}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting ピコ日記 under xvfb-run (invisible)."
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$exe"
fi
exec "$exe"
