#!/usr/bin/env bash
# Signs setup.exe with Authenticode (SHA-256) for a release.
#
#   scripts/sign.sh CERT.pfx [PASSWORD-FILE]
#
# CERT.pfx holds the code-signing certificate, its chain and its key (PKCS#12); PASSWORD-FILE
# holds its password on the first line. Signs the shipped file, build/mingw-i686/setup.exe, in
# place, or the file named by $SETUP_EXE (build/mingw/setup.exe for the 64-bit build).
# $TIMESTAMP_URL names an RFC 3161 timestamp server, which keeps the signature valid after the
# certificate expires; by default there is none, since signing then needs no network.
set -euo pipefail
pfx=${1:?usage: scripts/sign.sh CERT.pfx [PASSWORD-FILE]}
exe=${SETUP_EXE:-$(dirname "$0")/../build/mingw-i686/setup.exe}
command -v osslsigncode >/dev/null || bash "$(dirname "$0")/deps.sh"
args=(sign -pkcs12 "$pfx" -h sha256 -n "Tessaradyne Setup")
if [ -n "${2:-}" ]; then args+=(-readpass "$2"); fi
if [ -n "${TIMESTAMP_URL:-}" ]; then args+=(-ts "$TIMESTAMP_URL"); fi
# Into a new file first (osslsigncode writes no file that exists): an interrupted run leaves the
# unsigned file whole.
signed=$exe.signing
rm -f "$signed"
trap 'rm -f "$signed"' EXIT
osslsigncode "${args[@]}" -in "$exe" -out "$signed" >/dev/null
chmod --reference="$exe" "$signed"
mv "$signed" "$exe"
echo "signed $exe"
