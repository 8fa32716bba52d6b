#!/usr/bin/env bash
# Runs platform_check.exe under Wine twice, with the ANSI code page 932 and with 1252, and fails
# if either run fails.
#   tests/e2e/platform_check.sh <build-dir> <wineprefix>
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 <build-dir> <wineprefix>" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
prefix=$2
exe="$build/tests/e2e/platform_check.exe"
if [ ! -f "$exe" ]; then
  echo "$exe is missing: build the platform_check target first" >&2
  exit 1
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$prefix/dosdevices" ] || wineboot -i

# Wine takes the ANSI code page from LC_ALL but converts file names through the C library's
# locale; without that locale compiled, names outside ASCII cannot be created at all. The two
# locales are compiled into the build folder, so the system's set does not matter.
export LOCPATH="$build/locales"
for locale in ja_JP en_US; do
  if [ ! -f "$LOCPATH/$locale.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$LOCPATH"
    localedef -c -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" || true
  fi
  if [ ! -f "$LOCPATH/$locale.UTF-8/LC_CTYPE" ]; then
    echo "cannot compile the $locale.UTF-8 locale (is the 'locales' package installed?)" >&2
    exit 1
  fi
done

letter=
for candidate in y x w v u t s r q p; do
  if [ ! -e "$prefix/dosdevices/$candidate:" ] && [ ! -L "$prefix/dosdevices/$candidate:" ]; then
    letter=$candidate
    break
  fi
done
if [ -z "$letter" ]; then
  echo "no free drive letter in $prefix/dosdevices" >&2
  exit 1
fi
other=
cleanup() {
  rm -f "$prefix/dosdevices/$letter:"
  [ -z "$other" ] || rm -rf "$other"
  rm -rf "$prefix"/drive_c/users/*/Temp/platform-check-*
}
trap cleanup EXIT

status=0
for run in "ja_JP.UTF-8 932" "en_US.UTF-8 1252"; do
  set -- $run
  echo "== platform_check with LC_ALL=$1"
  # Each run gets an empty drive on another file system than C: where one exists, so that
  # moves there must copy.
  cleanup
  other=$(mktemp -d /dev/shm/platform-check.XXXXXX 2>/dev/null || mktemp -d)
  ln -s "$other" "$prefix/dosdevices/$letter:"
  if [ "$(stat -c %d "$other")" = "$(stat -L -c %d "$prefix/dosdevices/c:")" ]; then
    echo "note: $letter: is on the file system of C:, so no move copies across volumes"
  fi
  # The console ends lines with CR LF.
  if ! output=$(LC_ALL=$1 wine "$exe" "${letter^^}:" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}"); then
    status=1
  fi
  echo "$output"
  if ! grep -qx "ANSI code page $2" <<<"$output"; then
    echo "FAIL: expected the ANSI code page $2 under LC_ALL=$1"
    status=1
  fi
done
exit $status
