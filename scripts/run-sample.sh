#!/usr/bin/env bash
# Runs setup.exe under Wine on a freshly laid out sample distribution, walked through by the test
# driver as a person would, on a Japanese system: prints each screen (title, captions, list rows,
# status texts, messages) and the installed files, and saves screenshots of the three screens in
# build/<preset>/sample-shots. Shows it on your display when $DISPLAY is set, else on a private
# Xvfb. The file run is the one shipped, the 32-bit build (preset mingw-i686), with the 32-bit
# driver; where this machine cannot run 32-bit Wine it says why and runs the 64-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
preset=mingw-i686
if ! why=$(bash scripts/wine32.sh ready); then
  echo "run-sample: the 32-bit setup.exe cannot run here ($why): running the 64-bit build"
  preset=mingw
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset -j2 --target setup e2e_programs
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
e2e_begin build/$preset
bash scripts/make-sample-dist.sh "$E2E_TMP/dist"
e2e_lane sample own-display
shots=$E2E_BUILD/sample-shots
rm -rf "$shots"
mkdir -p "$shots"
w=e2e_winpath
rc=0
LC_ALL=ja_JP.UTF-8 wine "$E2E_BUILD/tests/e2e/driver.exe" "setup=$($w "$E2E_BUILD/setup.exe")" \
  "dist=$($w "$E2E_TMP/dist")" 'work=D:\' "programs=$($w "$E2E_BUILD/tests/e2e")" only=happy \
  verbose=1 "shots=$($w "$shots")" </dev/null >"$E2E_TMP/sample.out" 2>"$E2E_TMP/sample.err" || rc=$?
cat "$E2E_TMP/sample.out"
echo "screenshots: $(ls "$shots"/*.png 2>/dev/null | tr '\n' ' ')"
exit "$rc"
