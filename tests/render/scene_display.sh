#!/usr/bin/env bash
# scene_display.sh ORVANE PNG_CHECK: renders every in-game screenshot scene on one virtual
# display with the CPU Vulkan driver and the validation layer, from a private copy of the
# program folder. Each must exit 0 without a validation message and show a real picture
# with the game's state in its description; scenes that differ only by a modifier must
# differ where the modifier shows. "menu+relanguage" switches the language between frames,
# so the fonts are rebuilt while the renderer runs.
set -u
exe=$1 checker=$2
command -v xvfb-run >/dev/null 2>&1 || { echo "scene_display: xvfb-run is missing" >&2; exit 1; }
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/orvane"
cp -r "$(dirname "$exe")/shaders" "$folder/shaders"
mkdir -p "$folder/screenshots"
cd "$folder" || exit 1

scenes="default menu mob pig villager survival inventory village fill mod players cmd spectator dead rain drops menu+relanguage"
cat > render_all.sh <<'INNER'
for scene in $SCENES; do
  arg=$scene
  [ "$scene" = default ] && arg=
  ./orvane --screenshot "scene_$scene.png" $arg > "out_$scene.txt" 2>&1
  echo "$?" > "status_$scene.txt"
done
INNER
SCENES=$scenes xvfb-run -a -s "-screen 0 1280x800x24" bash render_all.sh

fail=0
for scene in $scenes; do
  status=$(cat "status_$scene.txt")
  if [ "$status" != 0 ]; then echo "scene_display: $scene: exit status $status" >&2; cat "out_$scene.txt"; fail=1; continue; fi
  if grep -q '^\[validation\]' "out_$scene.txt"; then echo "scene_display: $scene: validation messages" >&2; fail=1; fi
  grep -q "^capture: .*/screenshots/scene_$scene.png (1280x720, colors=" "out_$scene.txt" ||
    { echo "scene_display: $scene: no capture line" >&2; fail=1; }
  "$checker" check "screenshots/scene_$scene.png" >/dev/null || { echo "scene_display: $scene: bad picture" >&2; fail=1; }
  grep -aq 'World: Screenshot' "screenshots/scene_$scene.png" ||
    { echo "scene_display: $scene: no game state in the description" >&2; fail=1; }
done
[ "$fail" = 0 ] || exit 1

# The same camera with and without a modifier: the marked region must change.
differs() {  # differs A B X Y W H
  a=$("$checker" region "screenshots/scene_$1.png" "$3" "$4" "$5" "$6")
  b=$("$checker" region "screenshots/scene_$2.png" "$3" "$4" "$5" "$6")
  [ "$a" != "$b" ] || { echo "scene_display: $1 and $2 look the same in $3 $4 $5 $6 ($a)" >&2; fail=1; }
}
differs default rain 400 0 480 300       # streaks over the sky
differs default dead 440 260 400 200     # the death screen
differs default cmd 0 560 700 160        # the chat line with /help
differs default spectator 400 600 480 120  # no hotbar in spectator mode
differs village survival 400 600 480 120  # hearts and a filled hotbar
differs menu menu+relanguage 440 175 400 370  # the pause menu after a live language switch
grep -aq 'Game mode: Survival' screenshots/scene_dead.png || { echo "scene_display: dead is not survival" >&2; fail=1; }
grep -aq 'Weather: Rain' screenshots/scene_rain.png || { echo "scene_display: rain has no rain" >&2; fail=1; }
exit $fail
