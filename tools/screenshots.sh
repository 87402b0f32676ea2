#!/usr/bin/env bash
# Takes the README's pictures (the main window, a living pet, badges, the dead
# face, the faces) under a virtual X server:
#   tools/screenshots.sh [build/bin] [docs]
# Needs xvfb, xdotool and ImageMagick. Runs a copy of the program in a
# temporary directory, so a pet in build/bin/my.dat is left alone.
set -eu
bin=$(realpath "${1:-build/bin}")
mkdir -p "${2:-docs}"
out=$(realpath "${2:-docs}")
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
cp "$bin/piko" "$work/" && cp -r "$bin/cg" "$work/"

# -displayfd: Xvfb picks a free display and says which once it listens.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" &
xvfb=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
# Pictures need no sound: the silent driver works on machines without a sound card.
export DISPLAY=:$(head -n1 "$work/display") QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

# my.dat: name, age, intellect, morals, vigor, fullness, condition, points, word count, 256 words.
write_pet() {  # name age int mor vig full cond points words...
    python3 - "$work/my.dat" "$@" <<'PY'
import sys
path, name, *rest = sys.argv[1:]
nums, words = rest[:7], rest[7:]
lines = [name] + nums + [str(len(words))] + words + [""] * (256 - len(words))
open(path, "wb").write("".join(l + "\r\n" for l in lines).encode("cp932"))
PY
}
WORDS=("こんにちは" "ごはんたべた？" "すきだよ" "おやすみ" "いいてんき" "あそぼう" "ピコ" "がんばれ"
       "きょうはあめ" "ねむい" "おはよう" "たのしいね")

run() { "$work/piko" & pid=$!; sleep "${1:-2}"; }
stop() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; }
# The window sits at (265, 117) with no window manager to move it.
shot() { import -window root "$work/root.png"; convert "$work/root.png" -crop 412x262+265+117 +repage "$1"; }
click() { xdotool mousemove $((265 + $1)) $((117 + $2)) click 1; }

# The main window: a living pet as it starts, its face drawn by the first ticks.
write_pet "ピコ" 7 9 14 13 10 0 3400 "${WORDS[@]:0:8}"
run 2.4
shot "$out/window.png"
stop

# A living pet that has just been talked to.
write_pet "ピコ" 7 9 14 13 10 2 3400 "${WORDS[@]:0:8}"
run 2
click 200 220
for attempt in 1 2 3 4 5 6; do
    xdotool type --delay 40 "いいこだね"
    xdotool key Return
    sleep 0.4
    shot "$work/living.png"
    # A reply is fuchsia text on moji_l's black: stop once there is some.
    if [ "$(convert "$work/living.png" -crop 190x90+8+108 +repage -fill black +opaque '#FF00FF' -format '%[fx:mean>0.001]' info:)" = 1 ]; then break; fi
done
cp "$work/living.png" "$out/pet-living.png"
stop

# Both badges: past 10000 points and 30 learned words.
write_pet "ピコ" 15 18 19 17 9 4 12050 "${WORDS[@]}" "${WORDS[@]}" "${WORDS[@]}"
run 2
shot "$out/pet-badges.png"
stop

# Killed: the dead face and the last words.
write_pet "ピコ" 9 10 8 9 9 0 800 "${WORDS[@]:0:5}"
run 2
click 326 248
sleep 0.7
xdotool key y
sleep 0.7
shot "$out/pet-dead.png"
stop

# Faces of several conditions, side by side.
faces=()
for c in 0 2 3 4 5 6 7 8 9; do
    write_pet "ピコ" 5 5 10 10 10 "$c" 100 "${WORDS[@]:0:3}"
    run 2.4  # the second face tick: frame 0, eyes open
    import -window root "$work/root.png"
    convert "$work/root.png" -crop 200x200+473+121 +repage "$work/face$c.png"
    faces+=("$work/face$c.png")
    stop
done
montage "${faces[@]}" -tile 3x3 -geometry 200x200+4+4 -background '#dddddd' "$out/faces-live.png"
echo "written to $out"
