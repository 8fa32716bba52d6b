#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset native-debug >/dev/null
cmake --build --preset native-debug -j2
ctest --preset native-debug -j2
# The fault sweep's summary, which ctest keeps in its log.
grep -h '^fault sweep:' build/native-debug/Testing/Temporary/LastTest.log
cmake --preset mingw >/dev/null && cmake --build --preset mingw -j2
# The version resource and the manifest are read back against CMake's project version, by
# Debian's Python, for which deps.sh installs pefile (a python3 earlier on PATH may lack it).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw/CMakeCache.txt)
/usr/bin/python3 tests/e2e/check_exe.py build/mingw/setup.exe --version "$version"
# The 32-bit build, which is the one shipped, with its own test programs.
cmake --preset mingw-i686 >/dev/null && cmake --build --preset mingw-i686 -j2
/usr/bin/python3 tests/e2e/check_exe.py build/mingw-i686/setup.exe --version "$version" --bits 32
# The second compiler builds setup.exe only, with the standard library's checks (30 KB more).
cmake --preset mingw-clang >/dev/null && cmake --build --preset mingw-clang -j2
/usr/bin/python3 tests/e2e/check_exe.py build/mingw-clang/setup.exe --version "$version" --max-kb 288
bash tests/ship_test.sh sign build/mingw/setup.exe build/mingw/signed
bash tests/ship_test.sh sign build/mingw-i686/setup.exe build/mingw-i686/signed
# The 32-bit lane runs where this machine can run 32-bit Wine; elsewhere run.sh says why not. The
# package lane starts the 64-bit end-to-end package as a person starts it on Windows.
E2E_EXTRA_SETUP=$PWD/build/mingw/signed/setup.exe:$PWD/build/mingw-clang/setup.exe \
  E2E_EXTRA_SETUP32=$PWD/build/mingw-i686/signed/setup.exe \
  bash tests/e2e/run.sh build/mingw build/mingw-i686
# The reproducibility test builds each preset's setup.exe and package once more, in a scratch
# folder, to compare with those built above. Beside the fuzzer, which needs one core: the builds
# yield to it.
REPRO_FIRST=yes nice -n 10 bash tests/ship_test.sh repro >build/repro.log 2>&1 &
repro=$!
fuzzed=0
bash scripts/fuzz.sh 60 || fuzzed=$?
reproduced=0
wait "$repro" || reproduced=$?
cat build/repro.log
exit $((fuzzed || reproduced))
