#!/usr/bin/env bash
# Runs platform_check.exe under Wine with the ANSI code pages 932 and 1252, each time with an
# empty drive on another file system than C:; fails if either run fails.
#   tests/e2e/platform_check.sh <build-dir> <wineprefix>
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine converts file names through the C library's locale: without it compiled, names outside
# ASCII cannot be made. Both are compiled into the build folder.
export LOCPATH="$build/locales"
mkdir -p "$LOCPATH"
for locale in ja_JP en_US; do
  [ -f "$LOCPATH/$locale.UTF-8/LC_CTYPE" ] || localedef -c -i "$locale" -f UTF-8 \
    "$LOCPATH/$locale.UTF-8" || [ -f "$LOCPATH/$locale.UTF-8/LC_CTYPE" ]
done
drive=$WINEPREFIX/dosdevices/y:
other=
cleanup() { rm -f "$drive"; [ -z "$other" ] || rm -rf "$other"; }
trap cleanup EXIT
status=0
for run in "ja_JP.UTF-8 932" "en_US.UTF-8 1252"; do
  set -- $run
  echo "== platform_check with LC_ALL=$1"
  cleanup
  other=$(mktemp -d /dev/shm/platform-check.XXXXXX)
  ln -s "$other" "$drive"
  # The console ends lines with CR LF.
  output=$(LC_ALL=$1 wine "$build/tests/e2e/platform_check.exe" Y: 2>&1 | tr -d '\r') || status=1
  echo "$output"
  grep -qx "ANSI code page $2" <<<"$output" || { echo "FAIL: not code page $2"; status=1; }
done
exit $status
