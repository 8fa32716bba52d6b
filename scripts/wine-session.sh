# shellcheck shell=bash
# Sourced by tests/e2e/run.sh, scripts/run-sample.sh and bench/startup.sh: a scratch folder with
# Wine prefixes, each with an X display and drives D: and E: of its own, removed again on exit.
#
#   e2e_begin <build-dir>          the scratch folder $E2E_TMP and the exit trap
#   e2e_lane <name> [own-display]  this shell's prefix ($WINEPREFIX), display ($DISPLAY), drive
#                                  D: ($E2E_D) and E: on another file system; prefixes are copies
#                                  of one booted with fonts, a virtual desktop and 96 dpi
#   e2e_prepare <dpi>              the DPI, taking effect at once

e2e_begin() {
  E2E_BUILD=$(cd "$1" && pwd)
  E2E_TMP=$(mktemp -d /tmp/setup-e2e.XXXXXX)
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

e2e_cleanup() {
  local lane prefix
  # Each step on its own: the EXIT trap runs under errexit, and one that fails must not leave
  # the rest undone.
  for lane in "$E2E_TMP"/*/; do
    for prefix in "$lane/prefix" "$lane"; do
      if [ -f "$prefix/system.reg" ]; then WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; fi
    done
    if [ -f "$lane/xvfb.pid" ]; then kill "$(cat "$lane/xvfb.pid")" 2>/dev/null || true; fi
    if [ -L "$lane/prefix/dosdevices/e:" ]; then
      rm -rf "$(readlink "$lane/prefix/dosdevices/e:")" || true
    fi
  done
  sleep 1  # for the servers to let go of the prefixes
  rm -rf "$E2E_TMP" || true
}

# The prefix every lane copies: booted once, prepared at 96 dpi, its server ended.
e2e_base() {
  local base=$E2E_TMP/base
  # Debian's Wine misses its own font folder; the title bar buttons are Marlett glyphs.
  WINEPREFIX=$base wineboot -i </dev/null >"$E2E_TMP/wineboot.log" 2>&1
  cp /usr/share/wine/fonts/marlett.ttf "$base/drive_c/windows/Fonts/" 2>/dev/null || true
  WINEPREFIX=$base e2e_prepare 96
}

e2e_lane() {
  local lane=$E2E_TMP/$1
  mkdir -p "$lane/d"
  if [ "${2:-}" != own-display ] || [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$lane/display" \
      >"$lane/xvfb.log" 2>&1 &
    echo $! >"$lane/xvfb.pid"
    for _ in $(seq 100); do [ -s "$lane/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$lane/display")"
  fi
  [ -d "$E2E_TMP/base" ] || e2e_base
  # Hard links save copying the prefix; the registry, which Wine rewrites, is copied.
  cp -al "$E2E_TMP/base" "$lane/prefix"
  for reg in "$lane"/prefix/*.reg; do cp --remove-destination "$E2E_TMP/base/${reg##*/}" "$reg"; done
  export WINEPREFIX=$lane/prefix E2E_D=$lane/d
  ln -s "$E2E_D" "$WINEPREFIX/dosdevices/d:"
  ln -s "$(mktemp -d /dev/shm/setup-e2e.XXXXXX)" "$WINEPREFIX/dosdevices/e:"
}

# The Windows path of a host path, through drive Z:.
e2e_winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Ends the prefix's processes so that a new locale or DPI takes effect.
e2e_restart() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# e2e_prepare <dpi>: the Japanese faces the screens name, which Wine lacks, stood in for by the
# IPA fonts; one virtual desktop, which draws window frames without a window manager; the DPI;
# and no debugger for a program that crashes, which would hold its files open. 32-bit programs
# read HKLM\Software through its 32-bit view (Wow6432Node), so the debugger is left out there
# too.
e2e_prepare() {
  iconv -f UTF-8 -t UTF-16 >"$E2E_TMP/prepare.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x960"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$(printf %08x "$1")

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""
EOF
  wine regedit /S "$(e2e_winpath "$E2E_TMP/prepare.reg")" </dev/null >/dev/null 2>&1
  e2e_restart
}
