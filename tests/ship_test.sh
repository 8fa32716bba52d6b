#!/usr/bin/env bash
# Release checks of setup.exe.
#
#   tests/ship_test.sh sign <setup.exe> <out-dir>
#     Signs a copy with a throwaway self-signed code-signing certificate through scripts/sign.sh,
#     checks that osslsigncode accepts the signature against that certificate and refuses the
#     copy with one byte changed.
#     Leaves the signed copy as <out-dir>/setup.exe, for the happy path under Wine.
#   tests/ship_test.sh repro [preset...]
#     Builds setup.exe and the end-to-end package twice with each preset (mingw and mingw-i686
#     unless named), from copies of the tracked files in two scratch folders, one after the other,
#     and compares the bytes.
#     With REPRO_FIRST=yes the first of the two is the one already built in this tree's build/
#     (the test command's, just made), and only the second is built anew.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d /tmp/setup-ship.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL $*"; exit 1; }

verify() { osslsigncode verify -CAfile "$tmp/cert.pem" -in "$1" >"$tmp/verify.out" 2>&1; }
# The lines of the last verification that match $1, in osslsigncode's words.
said() { grep -E "$1" "$tmp/verify.out" | sed -E 's/ +/ /g' | paste -sd' '; }

sign() {
  local signed=$2/setup.exe
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tessaradyne test signer" \
    -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,codeSigning \
    -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>/dev/null
  echo "throwaway $RANDOM" >"$tmp/password"
  openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -out "$tmp/cert.pfx" \
    -passout "file:$tmp/password"
  mkdir -p "$2" && cp "$1" "$signed"
  SETUP_EXE=$signed bash "$root/scripts/sign.sh" "$tmp/cert.pfx" "$tmp/password" >/dev/null
  verify "$signed" || { cat "$tmp/verify.out"; fail "the signed copy does not verify"; }
  grep -qE '^Message digest algorithm +: SHA256' "$tmp/verify.out" || fail "not signed with SHA-256"
  echo "sign: signed copy: $(said '^(Message digest algorithm +:|Signature verif|Succeeded)')"
  # One byte in the middle of the file, in the code.
  cp "$signed" "$tmp/tampered.exe"
  python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[len(d) // 2] ^= 1
open(sys.argv[1], "wb").write(d)' "$tmp/tampered.exe"
  ! verify "$tmp/tampered.exe" || fail "a copy with one byte changed still verifies"
  echo "sign: tampered copy: $(said 'MISMATCH|^(Signature verification|Failed)')"
}

repro() {
  local side sides=(first second-tree) first=$tmp/first preset presets=("$@") failed=0
  [ $# -gt 0 ] || presets=(mingw mingw-i686)
  if [ "${REPRO_FIRST:-}" = yes ]; then sides=(second-tree) first=$root; fi
  for side in "${sides[@]}"; do
    mkdir -p "$tmp/$side"
    git -C "$root" ls-files -z | (cd "$root" && tar --null -T - -cf -) | tar -xf - -C "$tmp/$side"
    for preset in "${presets[@]}"; do
      (cd "$tmp/$side" && cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" -j2 --target setup e2e_package >/dev/null)
    done
  done
  for preset in "${presets[@]}"; do
    local exes=("$first/build/$preset/setup.exe" "$tmp/second-tree/build/$preset/setup.exe")
    sha256sum "${exes[@]}" | sed "s|$tmp/|repro: |; s|$root/|repro: this tree: |"
    # Where two builds differ, cmp names the first byte; objdump -h tells its section.
    if cmp "${exes[@]}"; then
      echo "repro: the two $preset builds are the same bytes"
    else
      failed=1
    fi
    # The package's entries with their CRCs, where the two differ.
    local zips=("$first/build/$preset"/tessaradyne-e2e-*.zip
      "$tmp/second-tree/build/$preset"/tessaradyne-e2e-*.zip)
    sha256sum "${zips[@]}" | sed "s|$tmp/|repro: |; s|$root/|repro: this tree: |"
    if cmp -s "${zips[@]}"; then
      echo "repro: the two $preset packages are the same bytes"
    else
      diff <(unzip -v "${zips[0]}" | awk '{print $7, $8}') \
        <(unzip -v "${zips[1]}" | awk '{print $7, $8}') || true
      failed=1
    fi
  done
  return "$failed"
}

"${1:?usage: tests/ship_test.sh sign <setup.exe> <out-dir> | repro}" "${@:2}"
