#!/usr/bin/env bash
# Start-up time of setup.exe under Wine against a one-window program started the same way:
# builds both with the mingw preset and prints "startup: setup_ms=N minimal_ms=N ratio=R".
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target setup minimal_window startup_bench >/dev/null
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
e2e_begin build/mingw
e2e_lane startup
# Beside a distribution, as people start it: alone, it would say so and show no screen.
bash scripts/make-sample-dist.sh "$E2E_D/dist" >/dev/null
cp "$E2E_BUILD/setup.exe" "$E2E_BUILD/tests/e2e/minimal_window.exe" "$E2E_D/dist/"
# Output goes to a file: the prefix's background processes would hold a pipe open.
wine "$E2E_BUILD/bench/startup_bench.exe" 'D:\dist' </dev/null >"$E2E_TMP/startup.out" 2>/dev/null
cat "$E2E_TMP/startup.out"
