#!/usr/bin/env bash
# Builds everything and runs every test: the native suites under ASan and
# UBSan, the explorer page's tests (Node.js and Chromium), the 64-bit Windows
# compile check, and the Win32 suites and a screenshot check under Wine in a
# private Xvfb display.
set -euo pipefail
# The tests make, list, download and compare names in other scripts; the C
# locale of a machine without LANG would mangle them (in Chromium and Wine).
export LANG=C.UTF-8 LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

build=$root/build
jobs=$(nproc)
step() { printf '\n== %s (%ss)\n' "$*" "$SECONDS"; }

step "native build (sanitizers, warnings as errors)"
cmake -S . -B "$build/native" -G Ninja -DTALLYFOLD_SANITIZE=ON -DTALLYFOLD_WERROR=ON -DTALLYFOLD_BENCH=OFF >/dev/null
ninja -C "$build/native" -j"$jobs"
step "native tests"
(cd "$build/native" && ctest --output-on-failure -j"$jobs")

step "explorer page: lint, its pure parts, and the page in Chromium"
(cd tests/explorer && npm ci --no-audit --no-fund --loglevel=error)
tests/explorer/node_modules/.bin/eslint -c tests/explorer/eslint.config.js src/listing/explorer tests/explorer bench/explorer
node --test tests/explorer/decode.test.js tests/explorer/matcher.test.js tests/explorer/treemap.test.js
TALLYFOLD_LIST="$build/native/src/app/tallyfold-list" EXPLORER_SHOTS="$build" node --test tests/explorer/browser.test.js

step "read-ahead tests under ThreadSanitizer"
cmake -S . -B "$build/tsan" -G Ninja -DTALLYFOLD_WERROR=ON -DTALLYFOLD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
ninja -C "$build/tsan" -j"$jobs" read_ahead_tests
TSAN_OPTIONS=halt_on_error=1 "$build/tsan/tests/native/listing/read_ahead_tests"

step "64-bit Windows compile check"
cmake -S . -B "$build/win64" -G Ninja -DTALLYFOLD_WERROR=ON -DTALLYFOLD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
ninja -C "$build/win64" -j"$jobs"

step "32-bit Windows build"
cmake -S . -B "$build/win32" -G Ninja -DTALLYFOLD_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
ninja -C "$build/win32" -j"$jobs"

step "Win32 tests under Wine"
. "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$build"
wine "$build/win32/tests/win32/tallyfold_tests.exe"
for check in "$root"/tests/win32/*.sh; do
  [ -e "$check" ] || continue
  step "$(basename "$check")"
  bash "$check" "$build"
done
step "all tests passed"
