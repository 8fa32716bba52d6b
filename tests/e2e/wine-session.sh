# Sourced by run.sh and scripts/run-sample.sh: one scratch folder with a Wine prefix, an X
# display and drive D:, all removed again by e2e_cleanup (set as the EXIT trap).
#
# After e2e_begin: $E2E_TMP, $WINEPREFIX, $DISPLAY, $E2E_D (host folder of drive D:).

e2e_tmp_started=""
e2e_xvfb_pid=""

e2e_cleanup() {
  if [ -n "$e2e_tmp_started" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    # A scenario stopped half-way may leave its folder immutable. Only drive D: holds them; the
    # prefix links to the whole host file system.
    [ -n "${E2E_D:-}" ] && chattr -R -f -i "$E2E_D" >/dev/null 2>&1 || true
    rm -rf "$E2E_TMP"
  fi
  if [ -n "$e2e_xvfb_pid" ]; then
    kill "$e2e_xvfb_pid" 2>/dev/null || true
    wait "$e2e_xvfb_pid" 2>/dev/null || true
  fi
}

# e2e_begin [own-display]: with "own-display" an existing $DISPLAY is used, otherwise a private
# Xvfb is started.
e2e_begin() {
  E2E_TMP=$(mktemp -d /tmp/setup-e2e.XXXXXX)
  e2e_tmp_started=1
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  export WINEPREFIX=$E2E_TMP/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "${1:-}" != own-display ] || [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$E2E_TMP/display" \
      >"$E2E_TMP/xvfb.log" 2>&1 &
    e2e_xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$E2E_TMP/display" ] && break; sleep 0.1; done
    [ -s "$E2E_TMP/display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$E2E_TMP/display")"
  fi
  # Background services of the prefix keep the output of the command that started them open:
  # give them none.
  wineboot -i </dev/null >"$E2E_TMP/wineboot.log" 2>&1
  # Debian's Wine misses its own font folder; the title bar buttons are Marlett glyphs.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  E2E_D=$E2E_TMP/d
  mkdir -p "$E2E_D"
  ln -s "$E2E_D" "$WINEPREFIX/dosdevices/d:"
}

# The Windows path of a host path, through drive Z:.
e2e_winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Ends the prefix's processes so that registry changes (DPI) and a new locale take effect.
e2e_restart() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# e2e_prepare <build-dir> <dpi>: fonts, virtual desktop and DPI, then a restart.
e2e_prepare() {
  wine "$1/tests/e2e/driver.exe" prepare "$2" </dev/null >"$E2E_TMP/prepare.log" 2>&1 ||
    { cat "$E2E_TMP/prepare.log" >&2; return 1; }
  e2e_restart
}

# e2e_shots_to_png <folder>: the driver's BMP screenshots as PNG files beside them.
e2e_shots_to_png() {
  local bmp
  for bmp in "$1"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  done
}
