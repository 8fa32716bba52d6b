#!/usr/bin/env bash
# Installs what building and testing need on Debian, where it is missing, and any further
# packages named as arguments.
set -euo pipefail
packages=(cmake ninja-build g++ googletest libgtest-dev python3 "$@")
# setup.exe and its end-to-end tests under Wine, with Japanese fonts and screenshots.
packages+=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth fonts-ipafont-gothic fonts-wine
  imagemagick)
# The second compiler for setup.exe (clang, lld, llvm-ar for link-time optimisation) and signing.
packages+=(clang lld llvm osslsigncode openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
