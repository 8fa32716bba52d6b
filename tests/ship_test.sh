#!/usr/bin/env bash
# Release checks of setup.exe.
#
#   tests/ship_test.sh repro
#     Builds setup.exe (preset mingw) twice, from copies of the tracked files in two scratch
#     folders, one after the other, and compares the bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d /tmp/setup-ship.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

repro() {
  local side exes=()
  for side in first second-tree; do
    mkdir -p "$tmp/$side"
    git -C "$root" ls-files -z | (cd "$root" && tar --null -T - -cf -) | tar -xf - -C "$tmp/$side"
    (cd "$tmp/$side" && cmake --preset mingw >/dev/null &&
      cmake --build --preset mingw -j"${SHIP_JOBS:-2}" --target setup >/dev/null)
    exes+=("$tmp/$side/build/mingw/setup.exe")
  done
  sha256sum "${exes[@]}" | sed "s|$tmp/|repro: |"
  python3 "$root/tests/e2e/check_exe.py" --diff "${exes[@]}"
  echo "repro: the two builds are the same bytes"
}

"${1:?usage: tests/ship_test.sh repro}" "${@:2}"
