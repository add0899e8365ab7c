#!/usr/bin/env bash
# render_display.sh CASE RENDER_CHECK PNG_CHECK: draws pictures with orvane_render_check on
# a virtual display (CPU Vulkan driver, validation layer) from a private folder, and
# compares each with its partner so that a pass that silently did nothing fails.
#   shadows   shadows on and off differ; the near cascades draw fewer than all chunks
#   post      post-processing on and off differ
#   night     night differs from day and skips the shadow pass
#   override  broken shader overrides in a pack are reported and the built-ins drawn
#   visual    a pack's visual.json (fog, exposure) changes the picture
#   resize    50 window resizes leave the GPU allocator as it was
#   reference the kept, culled, merged shadow maps look like maps redrawn in full
#   turn      a camera turning for 40 frames keeps the casters in its shadow maps still
set -u
case_name=$1 exe=$2 checker=$3
command -v xvfb-run >/dev/null 2>&1 || { echo "render_display: xvfb-run is missing" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/orvane_render_check"
cp -r "$(dirname "$exe")/shaders" "$folder/shaders"
mkdir -p "$folder/resourcepacks" "$folder/out" "$folder/base"
cd "$folder" || exit 1

fail() { echo "render_display: $*" >&2; exit 1; }
run() {
  output=$(xvfb-run -a -s "-screen 0 1280x800x24" ./orvane_render_check "$@" 2>&1)
  status=$?
  printf '%s\n' "$output"
  [ "$status" = 0 ] || fail "exit status $status"
  if grep -q '^\[validation\]' <<<"$output"; then fail "validation messages"; fi
}
picture() { "$checker" check "$1" || fail "bad picture $1"; }

case $case_name in
  shadows|post|night)
    run out "$case_name"
    picture out/a.png
    if [ "$case_name" = night ]; then
      # Night is dark: a real picture, but with a narrower range of light than the day's.
      "$checker" check out/b.png 12 || fail "bad picture out/b.png"
    else
      picture out/b.png
    fi
    "$checker" differ out/a.png out/b.png 1 || fail "$case_name made no difference"
    grep -q '^render_check: defaults: shadow pass ran' <<<"$output" || fail "no shadow pass by day"
    if [ "$case_name" = shadows ]; then
      grep -q '^render_check: shadows: shadow pass skipped' <<<"$output" || fail "shadows off still ran the pass"
      line=$(grep '^render_check: defaults:' <<<"$output")
      read -r c0 c1 c2 total <<<"$(sed -E 's/.*draws ([0-9]+) ([0-9]+) ([0-9]+) of ([0-9]+).*/\1 \2 \3 \4/' <<<"$line")"
      # The two near cascades see a part of the loaded chunks; the far one may see them all.
      [ "$c0" -gt 0 ] && [ "$c0" -lt "$total" ] && [ "$c1" -gt 0 ] && [ "$c1" -lt "$total" ] &&
        [ "$c2" -le "$total" ] || fail "cascade draws $c0 $c1 $c2 of $total: no culling"
    fi
    if [ "$case_name" = night ]; then
      grep -q '^render_check: night: shadow pass skipped' <<<"$output" || fail "the night ran the shadow pass"
    fi
    ;;
  override|visual)
    if [ "$case_name" = override ]; then
      mkdir -p resourcepacks/broken/shaders
      printf '\x03\x02\x23\x07twelve bytes' > resourcepacks/broken/shaders/final_fs.spv
      printf 'this is twenty-four byte' > resourcepacks/broken/shaders/composite_fs.spv
    else
      mkdir -p resourcepacks/tuned
      printf '{ "fog_start": 4, "exposure" : 1.9, "auto_exposure": 0 }\n' > resourcepacks/tuned/visual.json
    fi
    mv resourcepacks resourcepacks.off && mkdir resourcepacks
    run base
    rmdir resourcepacks && mv resourcepacks.off resourcepacks
    run out
    picture out/a.png
    if [ "$case_name" = override ]; then
      for line in 'shader override: composite_fs from broken' 'shader override: final_fs from broken' \
                  'shader override final_fs has invalid size' 'shader override final_fs failed, using built-in' \
                  'shader override composite_fs is not SPIR-V' 'shader override composite_fs failed, using built-in'; do
        grep -qx "$line" <<<"$output" || fail "missing: $line"
      done
      "$checker" same base/a.png out/a.png 1 || fail "the built-in shaders were not used"
    else
      grep -qx 'visual settings: tuned' <<<"$output" || fail "visual.json not reported"
      "$checker" differ base/a.png out/a.png 5 || fail "visual.json made no difference"
    fi
    ;;
  reference)
    run out reference
    picture out/a.png
    picture out/b.png
    # A few texels along shadow edges may land differently, nothing more.
    "$checker" same out/a.png out/b.png 0.5 || fail "the shadow shortcuts change the picture"
    grep -q '^render_check: defaults: .* cascade chunk draws' <<<"$output" || fail "no draw counts"
    ;;
  turn)
    run out --turn 40
    grep -Eq '^render_check: turned 40 frames: [0-9]+ cascade redraws, [1-9][0-9]* samples compared' <<<"$output" ||
      fail "no samples compared"
    ;;
  resize)
    run out --resizes 50
    grep -Eq '^render_check: 50 resizes \([0-9]+ changed the size\), back at 1280x720$' <<<"$output" || fail "did not come back to 1280x720"
    ;;
  *) fail "unknown case $case_name" ;;
esac
exit 0
