#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkgconf
  qt6-base-dev qt6-base-dev-tools
  libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run: a CJK font for the Chinese texts, the desktop's opener
  fonts-noto-cjk xdg-utils
  # tests: a display server, real peers, cross compilers, fuzzing
  xvfb xauth x11-utils imagemagick
  nginx-light python3-aiosmtpd python3
  mingw-w64 clang libclang-rt-14-dev
  curl
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
