#!/usr/bin/env bash
# End-to-end tests of setup.exe under Wine: the driver walks the real program through every
# scenario on a fresh sample distribution, on a Japanese (code page 932) and an English (1252)
# system, at 96 and 144 dpi, and leaves screenshots of the screens in <build-dir>/e2e-shots.
# Usage: tests/e2e/run.sh <build-dir>   (a build of the mingw preset: setup and e2e_programs)
set -euo pipefail
build=$(cd "${1:?usage: tests/e2e/run.sh <build-dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=tests/e2e/wine-session.sh
source "$here/wine-session.sh"

started=$SECONDS
e2e_begin
bash "$root/scripts/make-sample-dist.sh" "$E2E_TMP/dist"
programs=$build/tests/e2e
shots=$build/e2e-shots
rm -rf "$shots"
mkdir -p "$shots/ja-96" "$shots/ja-144" "$shots/en-96"
planted="comctl32,uxtheme,version,dwmapi,cryptbase,winmm,msimg32,userenv,dbghelp,propsys"
echo "e2e: prefix and display ready after $((SECONDS - started)) s"

passed=0
failed=0
# drive <label> <locale> <extra dll overrides or ""> [driver options...]
drive() {
  local label=$1 locale=$2 overrides=$WINEDLLOVERRIDES rc=0 counts p f
  [ -n "$3" ] && overrides="$overrides;$3=n,b"
  shift 3
  echo "--- $label"
  # Output goes to files: the prefix's background processes would hold a pipe open.
  LC_ALL=$locale WINEDLLOVERRIDES=$overrides wine "$programs/driver.exe" run \
    "$(e2e_winpath "${setup_exe:-$build/setup.exe}")" "$(e2e_winpath "$E2E_TMP/dist")" 'D:\' "$@" \
    </dev/null >"$E2E_TMP/$label.out" 2>"$E2E_TMP/$label.err" || rc=$?
  cat "$E2E_TMP/$label.out"
  counts=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "$E2E_TMP/$label.out" | tail -n1 || true)
  if [ -z "$counts" ]; then
    echo "FAIL $label: the driver gave no result (exit $rc); its last messages:"
    grep -v fixme "$E2E_TMP/$label.err" | tail -n 20
    failed=$((failed + 1))
    return
  fi
  read -r p f < <(sed -E 's/^e2e: ([0-9]+) passed, ([0-9]+) failed.*/\1 \2/' <<<"$counts")
  passed=$((passed + p))
  failed=$((failed + f))
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then failed=$((failed + 1)); fi
}

w() { e2e_winpath "$1"; }

e2e_prepare "$build" 96
drive ja-96 ja_JP.UTF-8 "" --acp 932 --shots "$(w "$shots/ja-96")" \
  --minimal "$(w "$programs/minimal_window.exe")" --skip planted-dlls
drive ja-96-planted ja_JP.UTF-8 "$planted" --acp 932 --only planted-dlls \
  --dlls "$(w "$programs/planted")" --probe "$(w "$programs/dll_probe.exe")" \
  --minimal "$(w "$programs/minimal_window.exe")"
# Other builds of setup.exe (the signed copy, the clang build), ':'-separated in
# $E2E_EXTRA_SETUP: the happy path on each, labelled by the folder it is in.
IFS=: read -ra extra_setups <<<"${E2E_EXTRA_SETUP:-}"
for setup_exe in "${extra_setups[@]}"; do
  drive "ja-96-$(basename "$(dirname "$setup_exe")")" ja_JP.UTF-8 "" --acp 932 --only happy
done
unset setup_exe
e2e_restart
drive en-96 en_US.UTF-8 "" --acp 1252 --shots "$(w "$shots/en-96")" \
  --only happy,reinstall
e2e_prepare "$build" 144
drive ja-144 ja_JP.UTF-8 "" --acp 932 --shots "$(w "$shots/ja-144")" \
  --only happy,keyboard

if [ -f "$here/platform_check.sh" ]; then
  echo "--- platform check"
  e2e_restart
  if bash "$here/platform_check.sh" "$build" "$WINEPREFIX"; then
    passed=$((passed + 1))
  else
    echo "FAIL platform check"
    failed=$((failed + 1))
  fi
fi

for folder in "$shots"/*; do e2e_shots_to_png "$folder"; done
echo "e2e: screenshots in $shots; took $((SECONDS - started)) s"
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
