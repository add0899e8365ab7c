#!/usr/bin/env bash
# sight_display.sh ORVANE PNG_CHECK: what the player sees, measured from screenshots taken
# on a virtual display (CPU Vulkan driver, validation layer), from a private copy of the
# program folder:
#   - midnight is at most 35 % as bright as the day in the same view, rain at most 85 %
#     (post-processing on);
#   - the death screen's dim leaves 37 % +- 3 % of the brightness under it, the same at the
#     left edge, at the centre and at the right edge;
#   - the pause menu with its settings open stays above the hotbar, in English and Chinese;
#   - a language switch while the settings are open keeps them open.
set -u
exe=$1 checker=$2
command -v xvfb-run >/dev/null 2>&1 || { echo "sight_display: xvfb-run is missing" >&2; exit 1; }
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/orvane"
cp -r "$(dirname "$exe")/shaders" "$folder/shaders"
mkdir -p "$folder/screenshots"
cd "$folder" || exit 1

# name|language|scene words
shots="default|en| night|en|night rain|en|rain dead|en|dead pause_en|en|menu+settings pause_zh|zh|menu+settings switch|en|menu+settings+relanguage"
cat > render_all.sh <<'INNER'
for shot in $SHOTS; do
  IFS='|' read -r name lang words <<<"$shot"
  locale=C
  [ "$lang" = zh ] && locale=zh_CN.UTF-8
  LANG=$locale LC_ALL= LC_MESSAGES= ./orvane --screenshot "$name.png" $words > "out_$name.txt" 2>&1
  echo "$?" > "status_$name.txt"
done
INNER
SHOTS=$shots xvfb-run -a -s "-screen 0 1280x800x24" bash render_all.sh

fail=0
problem() { echo "sight_display: $*" >&2; fail=1; }
for shot in $shots; do
  name=${shot%%|*}
  [ "$(cat "status_$name.txt")" = 0 ] || { problem "$name: exit status $(cat "status_$name.txt")"; cat "out_$name.txt"; continue; }
  if grep -q '^\[validation\]' "out_$name.txt"; then problem "$name: validation messages"; grep '^\[validation\]' "out_$name.txt" | head -5; fi
  "$checker" check "screenshots/$name.png" >/dev/null || problem "$name: bad picture"
done
[ "$fail" = 0 ] || exit 1

mean() {  # mean NAME X Y W H
  "$checker" mean "screenshots/$1.png" "$2" "$3" "$4" "$5" | sed 's/^png_check: mean luma //'
}
# ratio A B: A / B with three decimals; within LOW HIGH?
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { r = a / b; printf "%.3f\n", r; exit !(r >= lo && r <= hi) }'; }

# Between the debug overlay and the minimap the view holds sky and ground only.
day=$(mean default 660 20 440 540)
night=$(mean night 660 20 440 540)
ratio=$(within "$night" "$day" 0 0.35) || problem "night is $ratio of the day's brightness ($night / $day)"
echo "sight_display: night / day = $ratio"
rain=$(mean rain 660 20 440 540)
ratio=$(within "$rain" "$day" 0 0.85) || problem "rain is $ratio of the clear day's brightness ($rain / $day)"
echo "sight_display: rain / day = $ratio"

# Left and right edge strips, and the top of the centre column above the death window.
factors=()
for region in "0 40 6 600" "600 20 80 100" "1274 40 6 600"; do
  f=$(within "$(mean dead $region)" "$(mean default $region)" 0.34 0.40) || problem "dim at $region leaves $f"
  factors+=("$f")
done
echo "sight_display: dim factors ${factors[*]}"
awk -v a="${factors[0]}" -v b="${factors[1]}" -v c="${factors[2]}" 'BEGIN {
  lo = a; hi = a; if (b < lo) lo = b; if (c < lo) lo = c; if (b > hi) hi = b; if (c > hi) hi = c
  exit !(hi - lo <= 0.03) }' || problem "the dim is uneven: ${factors[*]}"

rect() {  # rect NAME LABEL -> "x y w h"
  sed -n "s/^screenshot: label $2 at //p" "out_$1.txt"
}
for name in pause_en pause_zh switch; do
  read -r _ py _ ph <<<"$(rect "$name" window:pause)"
  read -r _ hy _ _ <<<"$(rect "$name" window:hotbar)"
  [ -n "${ph:-}" ] && [ -n "${hy:-}" ] || { problem "$name: no pause or hotbar rectangle"; continue; }
  [ $((py + ph)) -le "$hy" ] || problem "$name: the pause menu (to $((py + ph))) runs over the hotbar (from $hy)"
  [ -n "$(rect "$name" 'Render distance')" ] || problem "$name: the settings are not open"
done
exit $fail
