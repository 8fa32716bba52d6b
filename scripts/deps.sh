#!/usr/bin/env bash
# Installs what building and testing need on Debian, where it is missing, and any further
# packages named as arguments.
set -euo pipefail
# python3-pefile reads the built setup.exe back (tests/e2e/check_exe.py).
packages=(cmake ninja-build g++ googletest libgtest-dev python3 python3-pefile "$@")
# setup.exe for 64-bit and for 32-bit Windows and its end-to-end tests under Wine, with Japanese
# fonts and screenshots.
packages+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xauth
  fonts-ipafont-gothic fonts-wine imagemagick)
# The end-to-end package is unzipped as a person would, and its two builds compared.
packages+=(unzip)
# The second compiler for setup.exe (clang, lld, llvm-ar for link-time optimisation) and signing.
packages+=(clang lld llvm osslsigncode openssl)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
# 32-bit Wine, for the 32-bit setup.exe, only where this machine executes i386 code: elsewhere
# its loader would take the place of the one wine uses and Wine would fail for 64-bit programs
# too. The probe needs the binutils that g++ brought.
if why=$(bash "$(dirname "$0")/wine32.sh" probe); then
  if ! installed wine32:i386; then
    echo "installing: wine32:i386"
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wine32:i386
  fi
else
  echo "32-bit Wine not installed: $why"
  if installed wine32:i386; then
    echo "warning: wine32:i386 is installed, but cannot run here and stops Wine for 64-bit" \
      "programs too: remove it (apt-get remove wine32:i386)"
  fi
fi
