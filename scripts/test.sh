#!/usr/bin/env bash
# Builds everything and runs every test: the native suites under ASan and
# UBSan, the explorer page's tests (Node.js and Chromium), then the Win32
# suite and the checks of the real programs under Wine in a private Xvfb
# display, for the 32-bit build in a 32-bit prefix and for the 64-bit build
# in a 64-bit one; last the release (scripts/package.sh) and its checks: the
# installer under Wine, the Debian package in a clean Debian 12 root.
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
node --test tests/explorer/decode.test.js tests/explorer/matcher.test.js tests/explorer/model.test.js tests/explorer/treemap.test.js
TALLYFOLD_LIST="$build/native/src/app/tallyfold-list" TALLYFOLD_DIFF="$build/native/src/app/tallyfold-diff" EXPLORER_SHOTS="$build" node --test tests/explorer/changes.test.js tests/explorer/browser.test.js tests/explorer/compare_browser.test.js tests/explorer/duplicates_browser.test.js

step "read-ahead tests (folders, and file content ahead of its hash) under ThreadSanitizer"
cmake -S . -B "$build/tsan" -G Ninja -DTALLYFOLD_WERROR=ON -DTALLYFOLD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
ninja -C "$build/tsan" -j"$jobs" read_ahead_tests
TSAN_OPTIONS=halt_on_error=1 "$build/tsan/tests/native/platform/read_ahead_tests"

for arch in win32 win64; do
  toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake
  [ "$arch" = win64 ] && toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake
  step "$arch Windows build"
  # Tests on whatever an earlier configure (the packaging script's) left.
  cmake -S . -B "$build/$arch" -G Ninja -DTALLYFOLD_WERROR=ON -DTALLYFOLD_TESTS=ON -DTALLYFOLD_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  ninja -C "$build/$arch" -j"$jobs"
done

. "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
for arch in win32 win64; do
  step "Win32 tests under Wine, $arch build in a $arch prefix"
  wine_session_start "$build" "$arch"
  wine "$build/$arch/tests/win32/tallyfold_tests.exe"
  for check in "$root"/tests/win32/*_check.sh; do
    [ -e "$check" ] || continue
    step "$(basename "$check") ($arch)"
    TALLYFOLD_WIN32_BUILD=$build/$arch bash "$check" "$build"
  done
  wine_session_stop
done

step "release packages"
"$root/scripts/package.sh" "$build"
for check in "$root"/tests/package/*_check.sh; do
  step "$(basename "$check")"
  bash "$check" "$build"
done
step "all tests passed"
