#!/usr/bin/env bash
# Starts the pet from the build tree. On a machine without a display it runs
# under a virtual X server; without a sound device it falls back to SDL's
# silent driver so that the pet can still be played.
set -u
exe=${1:?usage: run-piko.sh PATH_TO_PIKO}

# A sound server's socket or an ALSA playback device means there is sound.
has_sound() {
  local run=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}
  [ -S "$run/pulse/native" ] || [ -S "$run/pipewire-0" ] || [ -n "${PULSE_SERVER:-}" ] && return 0
  compgen -G '/dev/snd/pcmC*p' >/dev/null
}
if [ -z "${SDL_AUDIODRIVER:-}" ] && ! has_sound; then
  echo "No sound device found: ピコ日記 plays silently (SDL_AUDIODRIVER=dummy)."
  export SDL_AUDIODRIVER=dummy
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting ピコ日記 under xvfb-run (invisible)."
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$exe"
fi
exec "$exe"
