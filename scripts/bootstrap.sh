#!/usr/bin/env bash
# Installs the Debian packages Orvane needs to build, run and test, skipping those
# already present. Works as root or through sudo; safe to run again.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # window, graphics, shaders
  libglfw3-dev libvulkan-dev libvulkan-volk-dev glslang-tools libglm-dev
  # user interface, scripting, images, archives, sound
  libimgui-dev liblua5.4-dev libstb-dev zlib1g-dev libzip-dev libopenal-dev
  fonts-wqy-microhei
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev dnsmasq-base
  xvfb xauth mesa-vulkan-drivers vulkan-validationlayers
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "bootstrap: missing packages (${missing[*]}) and neither root nor sudo is available" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
