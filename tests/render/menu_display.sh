#!/usr/bin/env bash
# menu_display.sh SCENE ORVANE PNG_CHECK: the main menu scene (main, worlds or
# multiplayer) rendered on a virtual display with the CPU Vulkan driver and the
# validation layer, in English and in Chinese, from a private copy of the program folder.
# Both pictures must be real frames without validation messages; in the "main" scene the
# Chinese "Singleplayer" label must show CJK lettering: more light pixels than the twelve
# English letters (four question marks would have far fewer) drawn with the anti-aliased
# Chinese font.
set -u
scene=$1 exe=$2 checker=$3
command -v xvfb-run >/dev/null 2>&1 || { echo "menu_display: xvfb-run is missing" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/orvane"
cp -r "$(dirname "$exe")/shaders" "$folder/shaders"
mkdir -p "$folder/resourcepacks" "$folder/screenshots" "$folder/saves"
cd "$folder" || exit 1
fail() { echo "menu_display: $*" >&2; exit 1; }

declare -A ink colours
for lang in en zh; do
  locale=en_US.UTF-8
  [ "$lang" = zh ] && locale=zh_CN.UTF-8
  output=$(xvfb-run -a -s "-screen 0 1280x800x24" env LC_ALL= LC_MESSAGES= LANG=$locale \
           ./orvane --screenshot "${scene}_$lang.png" "$scene" 2>&1)
  status=$?
  printf '%s\n' "$output"
  [ "$status" = 0 ] || fail "$lang: exit status $status"
  if grep -q '^\[validation\]' <<<"$output"; then fail "$lang: validation messages"; fi
  # A menu over the sky has few colours, but never a flat frame.
  read -r n lo hi < <(sed -n 's/^capture: .*(1280x720, colors=\([0-9]*\), luma \([0-9]*\)\.\.\([0-9]*\))$/\1 \2 \3/p' <<<"$output")
  [ -n "${hi:-}" ] || fail "$lang: no capture line"
  [ "$n" -ge 5 ] && [ $((hi - lo)) -ge 60 ] || fail "$lang: a flat frame"
  if [ "$scene" = main ]; then
    read -r x y w h < <(sed -n 's/^screenshot: label Singleplayer at //p' <<<"$output")
    [ -n "${h:-}" ] || fail "$lang: no label position"
    region=$("$checker" region "screenshots/${scene}_$lang.png" "$x" "$y" "$w" "$h")
    echo "$lang $region"
    ink[$lang]=$(sed -n 's/.* ink=\([0-9]*\)$/\1/p' <<<"$region")
    colours[$lang]=$(sed -n 's/.*colors=\([0-9]*\) .*/\1/p' <<<"$region")
  fi
done
if [ "$scene" = main ]; then
  [ "${ink[zh]}" -gt "${ink[en]}" ] || fail "Chinese label has too little lettering: ${ink[zh]} <= ${ink[en]}"
  [ "${colours[zh]}" -ge 20 ] || fail "Chinese label not drawn with the Chinese font"
fi
exit 0
