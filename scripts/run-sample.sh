#!/usr/bin/env bash
# Runs setup.exe under Wine on a freshly laid out sample distribution, walked through by the test
# driver as a person would, on a Japanese system: prints each screen (title, captions, list rows,
# status texts, messages) and the installed files, and saves screenshots of the three screens in
# build/mingw/sample-shots. Shows it on your display when $DISPLAY is set, else on a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target setup e2e_programs
build=$PWD/build/mingw
# shellcheck source=tests/e2e/wine-session.sh
source tests/e2e/wine-session.sh
e2e_begin own-display
bash scripts/make-sample-dist.sh "$E2E_TMP/dist"
shots=$build/sample-shots
rm -rf "$shots"
mkdir -p "$shots"
e2e_prepare "$build" 96
rc=0
LC_ALL=ja_JP.UTF-8 wine "$build/tests/e2e/driver.exe" run "$(e2e_winpath "$build/setup.exe")" \
  "$(e2e_winpath "$E2E_TMP/dist")" 'D:\' --only happy --acp 932 --verbose \
  --shots "$(e2e_winpath "$shots")" \
  </dev/null >"$E2E_TMP/sample.out" 2>"$E2E_TMP/sample.err" || rc=$?
cat "$E2E_TMP/sample.out"
e2e_shots_to_png "$shots"
echo "screenshots: $(ls "$shots"/*.png 2>/dev/null | tr '\n' ' ')"
exit "$rc"
