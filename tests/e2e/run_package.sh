#!/usr/bin/env bash
# The package started as a person starts it on a Windows PC, here under Wine: unzipped into a
# folder of its own and run.cmd run by cmd, in a fresh prefix on code page 932. It passes when
# run.cmd exits with 0 after its summary line, gives a reason for each scenario it skips, and
# leaves drives C:, D: and E: and the package's folder as it found them.
#
# Usage: tests/e2e/run_package.sh <tessaradyne-e2e-*.zip>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
# shellcheck source=scripts/wine-session.sh
source "$here/../../scripts/wine-session.sh"
e2e_begin "$(dirname "$zip")"
# The Win32 layer's checks make names outside ASCII, which Wine maps through the C library's
# locale.
mkdir "$E2E_TMP/locales"
localedef -c -i ja_JP -f UTF-8 "$E2E_TMP/locales/ja_JP.UTF-8" &
locales=$!
e2e_lane package
wait "$locales"
package=$E2E_TMP/package/unzipped
mkdir "$package" && unzip -q "$zip" -d "$package"
drives() {
  local d
  for d in "$WINEPREFIX/drive_c" "$E2E_D" "$(readlink "$WINEPREFIX/dosdevices/e:")" "$package"; do
    (cd "$d" && find . | sort)
  done
}
before=$(drives)
SECONDS=0
status=0
# Into a file, which the prefix's background processes cannot hold open as they would a pipe;
# its lines end in CR LF, as on Windows.
(cd "$package" && LOCPATH=$E2E_TMP/locales LC_ALL=ja_JP.UTF-8 wine cmd /c run.cmd) \
  </dev/null >"$E2E_TMP/package.crlf" 2>"$E2E_TMP/package.err" || status=$?
tr -d '\r' <"$E2E_TMP/package.crlf" >"$E2E_TMP/package.out"
cat "$E2E_TMP/package.out"
echo "package: run.cmd exited with $status after $SECONDS s"
fail() { echo "package: FAIL $*"; tail "$E2E_TMP/package.err"; exit 1; }
[ "$status" -eq 0 ] || fail "run.cmd exited with $status"
tail -n1 "$E2E_TMP/package.out" | grep -qE '^e2e: [0-9]+ passed, 0 failed(, [0-9]+ skipped)?$' ||
  fail "no summary line at the end"
! grep -E '^SKIP' "$E2E_TMP/package.out" | grep -vqE '^SKIP [a-z0-9-]+: .+' ||
  fail "a scenario skipped without a reason"
diff <(echo "$before") <(drives) || fail "the run left the drives or the package's folder changed"
echo "package: drives C:, D:, E: and the package's folder left as they were"
