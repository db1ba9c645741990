#!/usr/bin/env bash
# Sets up a Debian machine, builds everything and runs every test: once in
# the release build, and once more for the libraries that need no display
# in a debug build with AddressSanitizer and UndefinedBehaviorSanitizer
# (there with the image loader too, which needs QtGui but no display).
# A third tree runs the tests that start threads of the program's own
# (marked THREADED) under ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen

cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" -j "$jobs"

cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DTANDEX_CORE_ONLY=ON -DTANDEX_SANITIZE=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$top/build-asan" -j "$jobs"

cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DTANDEX_TSAN=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$top/build-tsan" -j "$jobs"

status=0
echo "== sanitizer build (core libraries) =="
(cd "$top/build-asan" && ctest -j "$jobs" --output-on-failure --timeout 600) || status=1
echo "== thread sanitizer build (threaded tests) =="
(cd "$top/build-tsan" && ctest -j "$jobs" --output-on-failure --timeout 600) || status=1
echo "== release build (all) =="
(cd "$top/build" && ctest -j "$jobs" --output-on-failure --timeout 600) || status=1
exit $status
