#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run.
# Safe to run again: it only calls apt-get when something is missing.
#   tools/setup.sh             the Linux program
#   tools/setup.sh --windows   the Windows program (tools/setup-windows.sh)
set -euo pipefail

LINUX_PACKAGES=(
  # build
  cmake ninja-build g++ pkgconf
  qt6-base-dev qt6-base-dev-tools
  # the hot key's grab on X11, on Qt's xcb connection
  libxcb1-dev
  libcurl4-openssl-dev
  # release signatures: libcrypto to check them, the openssl tool to make keys and sign
  libssl-dev openssl
  libgtest-dev libgmock-dev libbenchmark-dev
  # build: the data the fold and pinyin tables are generated from
  opencc rime-data-luna-pinyin rime-data-pinyin-simp
  # run: a CJK font for the Chinese texts, the desktop's opener
  fonts-noto-cjk xdg-utils
  # tests: a display server, real peers, cross compilers, fuzzing
  xvfb xauth x11-utils imagemagick xdotool xclip
  # tests: a window manager on the test's display (the hot key's activation)
  openbox
  nginx-light python3-aiosmtpd python3 openssl
  mingw-w64 clang libclang-rt-14-dev
  curl
)

WINDOWS_PACKAGES=(
  # cross build: mingw-w64 (posix thread model), GoogleTest's sources, the
  # build machine's compiler for build tools, ImageMagick for the icon
  cmake ninja-build g++ mingw-w64 googletest imagemagick
  # tests: 64-bit Wine with its fonts, a CJK font, a display server with a
  # window manager, input and clipboard tools
  wine wine64 fonts-wine fonts-noto-cjk
  xvfb xauth openbox xdotool xclip x11-utils
  # the end-to-end test and tools/run-windows.sh: the loopback servers and
  # the release key; the zip's test; the installer
  nginx-light python3-aiosmtpd python3 openssl unzip nsis
)

case "${1:-}" in
  "") PACKAGES=("${LINUX_PACKAGES[@]}") ;;
  --windows) PACKAGES=("${WINDOWS_PACKAGES[@]}") ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

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

# Installing nginx starts the system's own nginx service on port 80. The
# project only runs its own nginx, as the user, on a loopback port: stop and
# disable the system service that this run brought up.
for p in "${missing[@]}"; do
  if [[ $p == nginx-light ]]; then
    if command -v systemctl >/dev/null && systemctl is-enabled --quiet nginx 2>/dev/null; then
      $SUDO systemctl disable --now nginx >/dev/null 2>&1 || true
      echo "Stopped and disabled the system nginx service that the install started (the project runs its own)."
    elif [[ -x /etc/init.d/nginx ]] && /etc/init.d/nginx status >/dev/null 2>&1; then
      $SUDO /etc/init.d/nginx stop >/dev/null 2>&1 || true
      command -v update-rc.d >/dev/null && $SUDO update-rc.d nginx disable >/dev/null 2>&1 || true
      echo "Stopped and disabled the system nginx service that the install started (the project runs its own)."
    fi
  fi
done
