#!/usr/bin/env bash
# End-to-end tests of setup.exe under Wine: driver.exe walks the real program through every
# scenario on fresh copies of the sample distribution. Three lanes run side by side, each with a
# Wine prefix and an X display of its own: code page 932 at 96 dpi in two; in the third the
# planted DLLs, the other builds of setup.exe, code page 1252, 144 dpi and the Win32 layer's own
# checks on both code pages.
# Usage: tests/e2e/run.sh <build-dir>   (mingw preset: setup, e2e_programs)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/wine-session.sh
source "$here/../../scripts/wine-session.sh"
e2e_begin "${1:?usage: tests/e2e/run.sh <build-dir>}"
bash "$here/../../scripts/make-sample-dist.sh" "$E2E_TMP/dist"
e2e_base

# drive <ANSI code page> <locale> [driver options]: one run of the driver; it fails without its
# summary line or when the locale does not give the code page.
drive() {
  local acp=$1 locale=$2 w=e2e_winpath
  shift 2
  echo "--- $locale $*"
  # Output goes to a file: the prefix's background processes would hold a pipe open.
  LC_ALL=$locale wine "$E2E_BUILD/tests/e2e/driver.exe" "setup=$($w "$E2E_BUILD/setup.exe")" \
    "dist=$($w "$E2E_TMP/dist")" 'work=D:\' 'cross=E:\' "programs=$($w "$E2E_BUILD/tests/e2e")" "$@" \
    </dev/null >"$WINEPREFIX.out" 2>"$WINEPREFIX.err" || true
  cat "$WINEPREFIX.out"
  grep -q "^code page $acp," "$WINEPREFIX.out" && grep -q '^e2e: ' "$WINEPREFIX.out" ||
    { echo "FAIL: not code page $acp, or no summary"; tail "$WINEPREFIX.err"; }
}

lane1() { drive 932 ja_JP.UTF-8 part=1/2; }
lane2() { drive 932 ja_JP.UTF-8 part=2/2; }
lane3() {
  # The planted names are native-first, so that Wine looks beside the program as Windows does.
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;comctl32,uxtheme,version,dwmapi,cryptbase,winmm,msimg32,\
userenv,dbghelp,propsys=n,b" drive 932 ja_JP.UTF-8 only=planted-dlls
  # Other builds of setup.exe (the signed copy, the clang build), ':'-separated in
  # $E2E_EXTRA_SETUP: the happy path on each, and a screen in the background asked for its
  # default button, which the clang build's standard library checks.
  IFS=: read -ra extra <<<"${E2E_EXTRA_SETUP:-}"
  for exe in "${extra[@]}"; do
    drive 932 ja_JP.UTF-8 only=happy,second-instance "setup=$(e2e_winpath "$exe")"
  done
  e2e_restart
  drive 1252 en_US.UTF-8 only=happy,reinstall
  e2e_prepare 144
  drive 932 ja_JP.UTF-8 only=happy,keyboard
  # Wine converts file names through the C library's locale: without it compiled, names outside
  # ASCII cannot be made.
  export LOCPATH=$E2E_TMP/locales && mkdir -p "$LOCPATH"
  for l in ja_JP en_US; do localedef -c -i $l -f UTF-8 "$LOCPATH/$l.UTF-8" || true; done
  drive 932 ja_JP.UTF-8 only=platform
  drive 1252 en_US.UTF-8 only=platform
}
for n in 1 2 3; do (e2e_lane "lane$n" && "lane$n") >"$E2E_TMP/lane$n.log" 2>&1 & done
wait
cat "$E2E_TMP"/lane?.log
read -r passed failed < <(awk '/^PASS/{p++} /^FAIL/{f++} END{print p+0, f+0}' "$E2E_TMP"/lane?.log)
echo "e2e: $passed passed, $failed failed in $SECONDS s"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
