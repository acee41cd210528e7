#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the programs need, when missing.
# Sourced by test.sh and run.sh.
px_packages=(cmake ninja-build g++ clang-14 libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-pdf-dev libx11-dev libxtst-dev fonts-dejavu-core xvfb xauth xdotool imagemagick
  poppler-utils libclang-rt-14-dev xdg-utils openbox x11-utils)

px_install_packages() {
  local missing=() p
  for p in "${px_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends \
      "${missing[@]}"
  fi
}
