#!/usr/bin/env bash
# End-to-end tests of setup.exe under Wine: driver.exe walks the real program through every
# scenario on fresh copies of the sample distribution. The lanes run side by side, each with a
# Wine prefix and an X display of its own: code page 932 at 96 dpi in lanes 1 and 2; in lane 3
# the planted DLLs, the other builds of setup.exe, code page 1252, 144 dpi and the Win32 layer's
# own checks on both code pages; in lane 32, given a 32-bit build, every scenario on the 32-bit
# setup.exe, driven by the 32-bit driver beside the 32-bit planted DLLs, under 32-bit Wine; in
# the package lane, the build's end-to-end package started as a person starts it on a Windows PC:
# unzipped into a folder of its own and run.cmd run by cmd, on code page 932. That lane passes when
# run.cmd exits with 0 after its summary line, gives a reason for each scenario it skips, and
# leaves drives C:, D: and E: and the package's folder as it found them.
#
# Usage: tests/e2e/run.sh <build-dir> [<32-bit build-dir>]
#          (presets mingw and mingw-i686, targets setup, e2e_programs and e2e_package)
#   E2E_LANES        the lanes to run, "1 2 3 32 package" by default; E2E_LANES=32 runs the
#                    32-bit lane alone (it fails then where 32-bit Wine cannot run, having passed
#                    nothing)
#   E2E_EXTRA_SETUP, E2E_EXTRA_SETUP32
#                    other builds of setup.exe, ':'-separated, for the happy path in lane 3 and in
#                    lane 32
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/wine-session.sh
source "$here/../../scripts/wine-session.sh"
e2e_begin "${1:?usage: tests/e2e/run.sh <build-dir> [<32-bit build-dir>]}"
lanes=" ${E2E_LANES:-1 2 3 32 package} "
if [[ $lanes == *" 32 "* ]]; then
  if [ -z "${2:-}" ]; then
    lanes=${lanes/ 32 / } skipped="no 32-bit build given"
  elif ! skipped=$(bash "$here/../../scripts/wine32.sh" ready); then
    lanes=${lanes/ 32 / }
  else
    E2E_BUILD32=$(cd "$2" && pwd) skipped=""
  fi
fi
if [ -z "${lanes// /}" ]; then
  echo "e2e: 32-bit lane not run: $skipped"
  echo "e2e: nothing run"
  exit 1
fi
bash "$here/../../scripts/make-sample-dist.sh" "$E2E_TMP/dist"
# Wine converts file names through the C library's locale: without it compiled, the Win32 layer's
# checks cannot make names outside ASCII. Compiled while the base prefix boots.
mkdir "$E2E_TMP/locales"
for l in ja_JP en_US; do localedef -c -i $l -f UTF-8 "$E2E_TMP/locales/$l.UTF-8" & done
e2e_base
wait

# drive <ANSI code page> <locale> [driver options]: one run of the lane's driver on its build
# ($build); it fails without its summary line or when the locale does not give the code page.
build=$E2E_BUILD
drive() {
  local acp=$1 locale=$2 w=e2e_winpath
  shift 2
  echo "--- $locale $*"
  # Output goes to a file: the prefix's background processes would hold a pipe open.
  LC_ALL=$locale wine "$build/tests/e2e/driver.exe" "setup=$($w "$build/setup.exe")" \
    "dist=$($w "$E2E_TMP/dist")" 'work=D:\' 'cross=E:\' "programs=$($w "$build/tests/e2e")" "$@" \
    </dev/null >"$WINEPREFIX.out" 2>"$WINEPREFIX.err" || true
  cat "$WINEPREFIX.out"
  grep -q "^code page $acp," "$WINEPREFIX.out" && grep -q '^e2e: ' "$WINEPREFIX.out" ||
    { echo "FAIL: not code page $acp, or no summary"; tail "$WINEPREFIX.err"; }
}

# The planted names are native-first, so that Wine looks beside the program as Windows does.
planted() {
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;comctl32,uxtheme,version,dwmapi,cryptbase,winmm,msimg32,\
userenv,dbghelp,propsys=n,b" drive 932 ja_JP.UTF-8 only=planted-dlls
}

# happy <':'-separated setup.exe files>: the happy path on each other build, and a screen in the
# background asked for its default button, which a build with the standard library's checks
# (the clang build) checks.
happy() {
  local exe extra
  IFS=: read -ra extra <<<"$1"
  for exe in "${extra[@]}"; do
    drive 932 ja_JP.UTF-8 only=happy,second-instance "setup=$(e2e_winpath "$exe")"
  done
}

platform() {
  LOCPATH=$E2E_TMP/locales drive 932 ja_JP.UTF-8 only=platform
  LOCPATH=$E2E_TMP/locales drive 1252 en_US.UTF-8 only=platform
}

lane1() { drive 932 ja_JP.UTF-8 part=1/2; }
lane2() { drive 932 ja_JP.UTF-8 part=2/2; }
lane3() {
  planted
  happy "${E2E_EXTRA_SETUP:-}"
  e2e_restart
  drive 1252 en_US.UTF-8 only=happy,reinstall
  e2e_prepare 144
  drive 932 ja_JP.UTF-8 only=happy-144dpi,keyboard-144dpi
  platform
  # A deployment tool may run it as a service, which has no desktop: no X display at all.
  e2e_restart
  (unset DISPLAY && drive 932 ja_JP.UTF-8 only=silent,silent-missing-template)
}
lane32() {
  build=$E2E_BUILD32
  drive 932 ja_JP.UTF-8  # every scenario but the planted DLLs and the Win32 layer's checks
  planted
  happy "${E2E_EXTRA_SETUP32:-}"
  platform
}
lanepackage() {
  local package=${WINEPREFIX%/prefix}/unzipped status=0
  mkdir "$package" && unzip -q "$E2E_BUILD"/tessaradyne-e2e-*.zip -d "$package"
  drives() {
    local d
    for d in "$WINEPREFIX/drive_c" "$E2E_D" "$(readlink "$WINEPREFIX/dosdevices/e:")" "$package"; do
      (cd "$d" && find . | sort)
    done
  }
  local before out=$E2E_TMP/package.out
  before=$(drives)
  SECONDS=0
  # Into a file, as the driver's output; its lines end in CR LF, as on Windows.
  (cd "$package" && LOCPATH=$E2E_TMP/locales LC_ALL=ja_JP.UTF-8 wine cmd /c run.cmd) \
    </dev/null >"$out.crlf" 2>"$WINEPREFIX.err" || status=$?
  tr -d '\r' <"$out.crlf" | tee "$out"
  echo "package: run.cmd exited with $status after $SECONDS s"
  [ "$status" -eq 0 ] || echo "FAIL package: run.cmd exited with $status"
  tail -n1 "$out" | grep -qE '^e2e: [0-9]+ passed, 0 failed(, [0-9]+ skipped)?$' ||
    echo "FAIL package: no summary line at the end"
  ! grep -E '^SKIP' "$out" | grep -vqE '^SKIP [a-z0-9-]+: .+' ||
    echo "FAIL package: a scenario skipped without a reason"
  diff <(echo "$before") <(drives) ||
    echo "FAIL package: the run left the drives or the package's folder changed"
}
# Each lane's log ends with the time it took.
for n in $lanes; do
  (SECONDS=0 && e2e_lane "lane$n" && "lane$n" && echo "lane $n: $SECONDS s") \
    >"$E2E_TMP/lane$n.log" 2>&1 &
done
wait
logs=("$E2E_TMP"/lane*.log)
cat "${logs[@]}"
read -r passed failed < <(awk '/^PASS/{p++} /^FAIL/{f++} END{print p+0, f+0}' "${logs[@]}")
[ -z "${skipped:-}" ] || echo "e2e: 32-bit lane not run: $skipped"
echo "e2e: $passed passed, $failed failed in $SECONDS s"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
