#!/usr/bin/env bash
# Runs the installer on the bundled sample distribution (sample/dist) in a scratch folder and
# prints what the user would see and which files land where.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target walkthrough
build/native-release/tests/walkthrough sample/dist
