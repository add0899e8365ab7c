#!/usr/bin/env bash
# screenshot_display.sh CASE ORVANE PNG_CHECK: runs the screenshot mode on a virtual
# display with the CPU Vulkan driver and the validation layer, from a private copy of
# the program folder so that cases cannot see each other's files.
#   scene      the default scene is written to screenshots/ and is a real landscape
#   badpacks   broken resource packs are reported and skipped; the picture still comes
#   nodevice   no Vulkan driver: the start-up error and exit status 1, no crash
#   unwritable a picture that cannot be saved is an error (status 1), not a success
set -u
case_name=$1 exe=$2 checker=$3
command -v xvfb-run >/dev/null 2>&1 || { echo "screenshot_display: xvfb-run is missing" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$exe" "$folder/orvane"
cp -r "$(dirname "$exe")/shaders" "$folder/shaders"
mkdir -p "$folder/resourcepacks" "$folder/screenshots"
cd "$folder" || exit 1

run() {
  output=$(xvfb-run -a -s "-screen 0 1280x800x24" "$@" 2>&1)
  status=$?
  printf '%s\n' "$output"
}
fail() { echo "screenshot_display: $*" >&2; exit 1; }

case $case_name in
  scene|badpacks)
    if [ "$case_name" = badpacks ]; then
      mkdir -p resourcepacks/a_pack/textures
      printf 'not an image' > resourcepacks/a_pack/textures/stone.png
      "$checker" make resourcepacks/a_pack/textures/dirt.png 100000 1 || fail "cannot make the wide image"
      printf 'definitely not a zip' > resourcepacks/b_pack.zip
      : > resourcepacks/c_pack.rp.orvac
    fi
    run env VK_INSTANCE_LAYERS= ./orvane --screenshot shot.png
    [ "$status" = 0 ] || fail "exit status $status"
    if grep -q '^\[validation\]' <<<"$output"; then fail "validation messages"; fi
    grep -q '^capture: .*/screenshots/shot.png (1280x720, colors=' <<<"$output" || fail "no capture line"
    if [ "$case_name" = badpacks ]; then
      grep -qx 'resourcepack: failed to decode textures/stone.png' <<<"$output" || fail "corrupt image not reported"
      grep -qx 'resourcepack: failed to decode textures/dirt.png' <<<"$output" || fail "wide image not reported"
      grep -qx 'resourcepack: b_pack -> 0 layers' <<<"$output" || fail "bad zip not listed"
      grep -qx 'resourcepack: c_pack -> 0 layers' <<<"$output" || fail "empty pack not listed"
    fi
    "$checker" check screenshots/shot.png || fail "bad picture"
    ;;
  nodevice)
    run env VK_ICD_FILENAMES=/nonexistent.json VK_DRIVER_FILES=/nonexistent.json ./orvane --screenshot shot.png
    [ "$status" = 1 ] || fail "exit status $status, wanted 1"
    grep -q '^vulkan: init failed: ' <<<"$output" || fail "no start-up error"
    [ ! -e screenshots/shot.png ] || fail "a picture was written"
    ;;
  unwritable)
    run ./orvane --screenshot /proc/orvane-no-such-folder/shot.png
    [ "$status" = 1 ] || fail "exit status $status, wanted 1"
    grep -q '^capture: cannot open /proc/orvane-no-such-folder/shot.png$' <<<"$output" || fail "no capture error"
    if grep -q '^\[validation\]' <<<"$output"; then fail "validation messages"; fi
    ;;
  *) fail "unknown case $case_name" ;;
esac
exit 0
